# Installs the build into a scratch prefix and checks that the binary and the
# manual page land where users look for them.
set(prefix "${BUILD}/install-check")
file(REMOVE_RECURSE "${prefix}")
execute_process(COMMAND "${CMAKE_COMMAND}" --install "${BUILD}" --prefix "${prefix}"
                RESULT_VARIABLE result OUTPUT_QUIET)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "cmake --install failed: ${result}")
endif()
foreach(path bin/quorvel share/man/man1/quorvel.1.gz share/quorvel/themes/modern.conf
             share/quorvel/themes/dark.conf share/quorvel/clean-album.sh
             share/doc/quorvel/copyright share/doc/quorvel/changelog.gz)
  if(NOT EXISTS "${prefix}/${path}")
    message(FATAL_ERROR "not installed: ${path}")
  endif()
endforeach()
execute_process(COMMAND gzip -dc "${prefix}/share/man/man1/quorvel.1.gz" OUTPUT_VARIABLE page
                RESULT_VARIABLE result)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "the manual page is no gzip file")
endif()
foreach(word "EXIT STATUS" "-notree" "-filter:" "quorvelFrameset.html")
  string(FIND "${page}" "${word}" at)
  if(at EQUAL -1)
    message(FATAL_ERROR "the manual page does not mention ${word}")
  endif()
endforeach()
# A build with the tests installs the clean binary: the kill points live only
# in quorvel-kill, which is never installed.
file(STRINGS "${prefix}/bin/quorvel" switch REGEX "QUORVEL_TEST_KILL")
if(switch)
  message(FATAL_ERROR "the installed binary reads QUORVEL_TEST_KILL")
endif()
if(EXISTS "${prefix}/bin/quorvel-kill")
  message(FATAL_ERROR "quorvel-kill is installed")
endif()
