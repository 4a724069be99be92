# Writes wayfind(1) from the program's own help texts: help2man takes `wayfind
# --help` and `--version`, and each command's `wayfind COMMAND --help` becomes a
# part of the section COMMANDS.
#   cmake -DWAYFIND=path/to/wayfind -DHELP2MAN=/usr/bin/help2man -DOUT=wayfind.1 -P manpage.cmake
set(commands tree call search favourites export import db console console-screenshot edit "favourites --edit"
             options screenshot)
get_filename_component(dir ${OUT} DIRECTORY)
set(include ${dir}/wayfind.1.include)
set(text "[NAME]\nwayfind \\- the navigation tree of an ERP client, on the command line and in windows\n\n[COMMANDS]\n")
foreach(command ${commands})
  separate_arguments(args UNIX_COMMAND "${command} --help")
  execute_process(COMMAND ${CMAKE_COMMAND} -E env LC_ALL=C.UTF-8 ${WAYFIND} ${args} OUTPUT_VARIABLE help ERROR_QUIET
                  RESULT_VARIABLE status)
  if(NOT status EQUAL 0)
    continue()
  endif()
  # troff: a backslash is \e; a line may not start with a dot or an apostrophe.
  string(REPLACE "\\" "\\e" help "${help}")
  string(REGEX REPLACE "(^|\n)([.'])" "\\1\\\\&\\2" help "${help}")
  string(APPEND text ".SS ${command}\n.nf\n${help}.fi\n")
endforeach()
string(APPEND text "\n[FILES]\n.TP\n~/.local/share/wayfind/wayfind.db\nthe embedded database, with the demo company made on the first run\n"
                   ".TP\n~/.cache/wayfind/WayfindTemp\nthe cache files of the tree, when the program's own folder is not writable\n"
                   ".TP\n~/.config/wayfind\nthe language the console picked for its next start\n")
file(WRITE ${include} "${text}")
# In a UTF-8 locale (--locale), or help2man writes every Chinese character as "?".
execute_process(COMMAND ${CMAKE_COMMAND} -E env LC_ALL=C.UTF-8 ${HELP2MAN} --no-info --locale=C.UTF-8 --section=1
                        --include=${include} --output=${OUT} ${WAYFIND}
                RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "help2man failed on ${WAYFIND}")
endif()
