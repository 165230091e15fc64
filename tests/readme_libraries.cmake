# README.md's install command names every development package of the
# libraries quorvel loads (src/img/format_libraries.list, passed by the build).
#   cmake -DREADME=<README.md> -DPACKAGES=<a,b,...> -P tests/readme_libraries.cmake
if(NOT README OR NOT PACKAGES)
  message(FATAL_ERROR "README and PACKAGES must be set")
endif()
file(READ ${README} text)
string(REPLACE "," ";" packages "${PACKAGES}")
set(missing "")
foreach(package ${packages})
  if(NOT text MATCHES "(^|[ \t\n])${package}([ \t\n\\\\]|$)")
    list(APPEND missing ${package})
  endif()
endforeach()
if(missing)
  message(FATAL_ERROR "README.md names no ${missing}")
endif()
