# quorvel_link_runtime(<target> SHARED <lib> ARCHIVES <lib>)
#
# Links <target> (publicly) against the SHARED library, except into a program whose
# QUORVEL_STATIC_RUNTIME property is set (the shipped quorvel program, see app/),
# which gets the ARCHIVES instead. The choice is made per program that links <target>.
function(quorvel_link_runtime target)
  cmake_parse_arguments(R "" "SHARED;ARCHIVES" "" ${ARGN})
  set(static_runtime "$<BOOL:$<TARGET_PROPERTY:QUORVEL_STATIC_RUNTIME>>")
  target_link_libraries(${target} PUBLIC "$<IF:${static_runtime},${R_ARCHIVES},${R_SHARED}>")
endfunction()
