# Installs the build into a fresh folder, once to a prefix and once staged with DESTDIR, and
# checks that the program and its command line alone, its catalogue, its icon, a desktop entry
# that starts it, its AppStream description and its documents are there, and that the test tool
# is not.
# Run by ctest: cmake -DBUILD=<build folder> -DWORK=<scratch folder> -P install_check.cmake
file(REMOVE_RECURSE "${WORK}")

function(check_install root prefix)
  foreach(f bin/branvik-configurator lib/branvik-configurator/branvik-configurator
            bin/branvik-config lib/branvik-configurator/branvik-config
            lib/branvik-configurator/Setting/Pages.ini lib/branvik-configurator/Setting/Images/pm.jpg
            share/icons/hicolor/64x64/apps/branvik-configurator.png
            share/icons/hicolor/256x256/apps/branvik-configurator.png
            share/metainfo/org.branvik.configurator.metainfo.xml
            share/doc/branvik-configurator/README.md share/doc/branvik-configurator/CHANGES.md
            share/doc/branvik-configurator/copyright share/doc/branvik-configurator/changelog.gz
            share/man/man1/branvik-configurator.1.gz share/man/man1/branvik-config.1.gz)
    if(NOT EXISTS "${root}${prefix}/${f}")
      message(FATAL_ERROR "not installed: ${root}${prefix}/${f}")
    endif()
  endforeach()
  if(EXISTS "${root}${prefix}/lib/branvik-configurator/profile-driver")
    message(FATAL_ERROR "the test tool profile-driver was installed")
  endif()
  set(entry "${root}${prefix}/share/applications/branvik-configurator.desktop")
  file(READ "${entry}" text)
  # The entry starts the program where it runs from, not where a package was staged.
  foreach(line "Exec=\"${prefix}/bin/branvik-configurator\"" "Icon=branvik-configurator"
               "Type=Application")
    string(FIND "${text}" "${line}\n" at)
    if(at EQUAL -1)
      message(FATAL_ERROR "${entry} lacks the line ${line}:\n${text}")
    endif()
  endforeach()
endfunction()

execute_process(COMMAND "${CMAKE_COMMAND}" --install "${BUILD}" --prefix "${WORK}/prefix"
                OUTPUT_QUIET RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "cmake --install failed (${rc})")
endif()
check_install("" "${WORK}/prefix")

execute_process(COMMAND "${CMAKE_COMMAND}" -E env "DESTDIR=${WORK}/staged"
                        "${CMAKE_COMMAND}" --install "${BUILD}" --prefix /opt/branvik
                OUTPUT_QUIET RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "staged cmake --install failed (${rc})")
endif()
check_install("${WORK}/staged" "/opt/branvik")
file(REMOVE_RECURSE "${WORK}")
