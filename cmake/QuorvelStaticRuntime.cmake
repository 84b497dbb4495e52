# quorvel_link_runtime(<target> [PRIVATE] SHARED <lib> ARCHIVES <lib>)
#
# Links <target> against the SHARED library, except into a program whose
# QUORVEL_STATIC_RUNTIME property is set (the shipped quorvel program, see app/),
# which gets the ARCHIVES instead. The choice is made per program that links <target>.
# PRIVATE keeps the library's include paths and flags to <target>: the programs that
# link <target> get only the library's link.
function(quorvel_link_runtime target)
  cmake_parse_arguments(R "PRIVATE" "SHARED;ARCHIVES" "" ${ARGN})
  set(static_runtime "$<BOOL:$<TARGET_PROPERTY:QUORVEL_STATIC_RUNTIME>>")
  set(scope PUBLIC)
  if(R_PRIVATE)
    set(scope PRIVATE)
  endif()
  target_link_libraries(${target} ${scope} "$<IF:${static_runtime},${R_ARCHIVES},${R_SHARED}>")
endfunction()
