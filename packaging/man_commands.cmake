# Writes the help2man include section COMMANDS: the help of every command of zentrel, as the
# program prints it. Run at build time: cmake -DZENTREL=<program> -DOUT=<file.h2m> -P man_commands.cmake
set(commands "estimate" "batch" "raster" "validate" "data import-csv" "data import-climat" "data where")
set(text "[COMMANDS]\n")
foreach(command IN LISTS commands)
  separate_arguments(args UNIX_COMMAND "${command}")
  execute_process(COMMAND ${ZENTREL} ${args} --help OUTPUT_VARIABLE help RESULT_VARIABLE code)
  if(NOT code EQUAL 0)
    message(FATAL_ERROR "${ZENTREL} ${command} --help failed (${code})")
  endif()
  # The program as a user calls it, not the build's path.
  string(REPLACE "${ZENTREL}" "zentrel" help "${help}")
  # Roff: backslashes escaped, and a line starting with . or ' must not be read as a request, nor
  # one starting with [ as a help2man section.
  string(REPLACE "\\" "\\e" help "${help}")
  string(REGEX REPLACE "(^|\n)([.'])" "\\1\\\\&\\2" help "${help}")
  string(REGEX REPLACE "(^|\n)\\[" "\\1\\\\&[" help "${help}")
  string(APPEND text ".SS \"zentrel ${command}\"\n.nf\n${help}.fi\n")
endforeach()
file(WRITE ${OUT} "${text}")
