// A library named as libarchive that has none of its calls: what a broken or foreign install
// looks like to the program that loads it.
extern "C" int pgl_not_libarchive() {
  return 0;
}
