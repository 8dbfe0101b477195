/* pgl-probe32.exe: a 32-bit Windows program that exits with code 32. A Wine that cannot run
 * 32-bit programs starts it, runs nothing and reports 0 instead. */
int main(void) { return 32; }
