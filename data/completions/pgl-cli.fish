# fish completion for pgl-cli
set -l commands prefixes list report backup uninstall remove restore leftovers desktop-entries remove-prefix
complete -c pgl-cli -f
complete -c pgl-cli -l prefix -r -a '(__fish_complete_directories)' -d 'the Wine prefix to work on'
complete -c pgl-cli -n "not __fish_seen_subcommand_from $commands" -l version -d 'the version and the commit it was built from'
complete -c pgl-cli -n "not __fish_seen_subcommand_from $commands" -l help-all -d 'the help of every command'
complete -c pgl-cli -s h -l help -d 'the options'
complete -c pgl-cli -n "not __fish_seen_subcommand_from $commands" -a prefixes -d 'the Wine prefixes found in your home'
complete -c pgl-cli -n "not __fish_seen_subcommand_from $commands" -a list -d 'the installed programs'
complete -c pgl-cli -n "not __fish_seen_subcommand_from $commands" -a report -d 'the list as an HTML report'
complete -c pgl-cli -n "not __fish_seen_subcommand_from $commands" -a backup -d 'every Uninstall key as a registry script'
complete -c pgl-cli -n "not __fish_seen_subcommand_from $commands" -a uninstall -d "run the programs' uninstallers"
complete -c pgl-cli -n "not __fish_seen_subcommand_from $commands" -a remove -d "delete programs' entries without running anything"
complete -c pgl-cli -n "not __fish_seen_subcommand_from $commands" -a restore -d 'put back the programs a registry script holds'
complete -c pgl-cli -n "not __fish_seen_subcommand_from $commands" -a leftovers -d 'what the programs left behind'
complete -c pgl-cli -n "not __fish_seen_subcommand_from $commands" -a desktop-entries -d 'menu entries of prefixes that are gone'
complete -c pgl-cli -n "not __fish_seen_subcommand_from $commands" -a remove-prefix -d 'move whole prefixes to the trash, saves kept first'
complete -c pgl-cli -n "__fish_seen_subcommand_from prefixes list leftovers desktop-entries uninstall remove remove-prefix" -l format -x -a 'tsv csv json' -d 'output format'
complete -c pgl-cli -n "__fish_seen_subcommand_from prefixes" -l sizes -d 'sizes, saves and last use'
complete -c pgl-cli -n "__fish_seen_subcommand_from list report" -l system-components -d 'show system components too'
complete -c pgl-cli -n "__fish_seen_subcommand_from list report" -l no-invalid -d 'hide entries whose uninstaller is gone'
complete -c pgl-cli -n "__fish_seen_subcommand_from list report" -l only-invalid -d 'only those entries'
complete -c pgl-cli -n "__fish_seen_subcommand_from list" -l all-prefixes -d 'every prefix in one list'
complete -c pgl-cli -n "__fish_seen_subcommand_from uninstall remove restore leftovers desktop-entries remove-prefix" -s y -l yes -d 'do not ask'
complete -c pgl-cli -n "__fish_seen_subcommand_from report uninstall restore leftovers desktop-entries" -l polish -d 'texts in Polish'
complete -c pgl-cli -n "__fish_seen_subcommand_from uninstall" -l quiet -d 'quiet uninstall commands'
complete -c pgl-cli -n "__fish_seen_subcommand_from uninstall" -l leftovers -d 'then remove the sure leftovers'
complete -c pgl-cli -n "__fish_seen_subcommand_from restore uninstall remove remove-prefix leftovers desktop-entries" -l dry-run -d 'only say what it would do'
complete -c pgl-cli -n "__fish_seen_subcommand_from leftovers desktop-entries" -l remove -d 'move them to the trash'
complete -c pgl-cli -n "__fish_seen_subcommand_from leftovers" -l all-confidences -d 'the likely and uncertain items too'
complete -c pgl-cli -n "__fish_seen_subcommand_from remove-prefix" -l saves-to -r -a '(__fish_complete_directories)' -d 'folder for the saves'
complete -c pgl-cli -n "__fish_seen_subcommand_from remove-prefix" -l no-saves -d 'do not keep the saves'
complete -c pgl-cli -n "__fish_seen_subcommand_from report backup restore" -F
complete -c pgl-cli -n "__fish_seen_subcommand_from remove-prefix" -a '(__fish_complete_directories)'
