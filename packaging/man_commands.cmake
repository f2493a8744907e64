# Writes the help2man include section COMMANDS: the help of every command of zentrel, as the
# program prints it, found from the "Subcommands:" lists of the help itself (so a new command
# appears without a change here). Run at build time:
#   cmake -DZENTREL=<program> -DOUT=<file.h2m> -P man_commands.cmake

# The help of `zentrel <words> --help`, in `out`.
function(command_help words out)
  separate_arguments(args UNIX_COMMAND "${words}")
  execute_process(COMMAND ${ZENTREL} ${args} --help OUTPUT_VARIABLE help RESULT_VARIABLE code)
  if(NOT code EQUAL 0)
    message(FATAL_ERROR "${ZENTREL} ${words} --help failed (${code})")
  endif()
  set(${out} "${help}" PARENT_SCOPE)
endfunction()

# The names listed under "Subcommands:" in `help`, in `out`.
function(subcommands help out)
  set(names "")
  string(FIND "${help}" "Subcommands:\n" at)
  if(at GREATER -1)
    string(SUBSTRING "${help}" ${at} -1 rest)
    string(REGEX MATCHALL "\n  [a-z][a-z0-9-]*" found "${rest}")
    foreach(name IN LISTS found)
      string(STRIP "${name}" name)
      list(APPEND names ${name})
    endforeach()
  endif()
  set(${out} "${names}" PARENT_SCOPE)
endfunction()

set(text "[COMMANDS]\n")
# Commands with subcommands of their own (zentrel data) list those instead of themselves.
function(add_command words)
  command_help("${words}" help)
  subcommands("${help}" children)
  if(children AND NOT words STREQUAL "")
    foreach(child IN LISTS children)
      add_command("${words} ${child}")
    endforeach()
    set(text "${text}" PARENT_SCOPE)
    return()
  endif()
  if(words STREQUAL "")
    foreach(child IN LISTS children)
      add_command("${child}")
    endforeach()
    set(text "${text}" PARENT_SCOPE)
    return()
  endif()
  # The program as a user calls it, not the build's path.
  string(REPLACE "${ZENTREL}" "zentrel" help "${help}")
  # Roff: backslashes escaped, and a line starting with . or ' must not be read as a request, nor
  # one starting with [ as a help2man section.
  string(REPLACE "\\" "\\e" help "${help}")
  string(REGEX REPLACE "(^|\n)([.'])" "\\1\\\\&\\2" help "${help}")
  string(REGEX REPLACE "(^|\n)\\[" "\\1\\\\&[" help "${help}")
  string(APPEND text ".SS \"zentrel ${words}\"\n.nf\n${help}.fi\n")
  set(text "${text}" PARENT_SCOPE)
endfunction()
add_command("")
file(WRITE ${OUT} "${text}")
