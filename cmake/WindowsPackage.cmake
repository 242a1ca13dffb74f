# The Windows packages, made with every build of the Windows tree:
#   build-win64/branvik-configurator-<version>-win64.zip        unpacked anywhere, it runs
#   build-win64/branvik-configurator-<version>-win64-setup.exe  NSIS installer (when makensis is
#                                                                installed)
# Both hold the same files, staged in build-win64/package/branvik-configurator-<version>-win64/:
# the program, the Qt DLLs and the plugins it loads, the MinGW runtime, Qt's Russian texts, the
# example catalogue Setting/ and game folder example-gamedata/, and the documents in doc/, where
# the help window finds them.

set(BRANVIK_PACKAGE_NAME branvik-configurator-${PROJECT_VERSION}-win64)
set(package_dir ${CMAKE_BINARY_DIR}/package)
set(BRANVIK_STAGE ${package_dir}/${BRANVIK_PACKAGE_NAME})
set(BRANVIK_ZIP ${CMAKE_BINARY_DIR}/${BRANVIK_PACKAGE_NAME}.zip)
set(BRANVIK_SETUP ${CMAKE_BINARY_DIR}/${BRANVIK_PACKAGE_NAME}-setup.exe)

# The C++ runtime of the MinGW compiler, which the program and Qt load.
set(runtime_dlls)
foreach(dll libstdc++-6.dll libgcc_s_seh-1.dll libwinpthread-1.dll)
  execute_process(COMMAND ${CMAKE_CXX_COMPILER} -print-file-name=${dll}
                  OUTPUT_VARIABLE path OUTPUT_STRIP_TRAILING_WHITESPACE)
  if(NOT IS_ABSOLUTE "${path}" OR NOT EXISTS "${path}")
    message(FATAL_ERROR "The MinGW runtime ${dll} was not found (${CMAKE_CXX_COMPILER})")
  endif()
  list(APPEND runtime_dlls "${path}")
endforeach()

# What goes where: one line per file, its path and its folder in the package.
set(entries
  "$<TARGET_FILE:branvik-configurator>|."
  "$<TARGET_FILE:branvik-config>|."
  "$<TARGET_FILE:Qt6::Core>|."
  "$<TARGET_FILE:Qt6::Gui>|."
  "$<TARGET_FILE:Qt6::Widgets>|."
  "$<TARGET_FILE:Qt6::QWindowsIntegrationPlugin>|platforms"
  "$<TARGET_FILE:Qt6::QWindowsVistaStylePlugin>|styles"
  "$<TARGET_FILE:Qt6::QJpegPlugin>|imageformats"
  "$<TARGET_FILE:Qt6::QICOPlugin>|imageformats"
  "${CMAKE_SOURCE_DIR}/README.md|doc"
  "${CMAKE_SOURCE_DIR}/CHANGES.md|doc"
  "${CMAKE_SOURCE_DIR}/LICENSE|."
  "${CMAKE_SOURCE_DIR}/examples/Setting|Setting"
  "${CMAKE_SOURCE_DIR}/examples/gamedata|example-gamedata")
foreach(dll IN LISTS runtime_dlls)
  list(APPEND entries "${dll}|.")
endforeach()
# Qt's own dialogs and buttons in Russian: the Linux Qt's translations are the same version's.
set(qt_russian /usr/share/qt6/translations/qtbase_ru.qm)
if(EXISTS ${qt_russian})
  list(APPEND entries "${qt_russian}|translations")
else()
  message(WARNING "${qt_russian} is missing (qt6-translations-l10n): Qt's dialogs stay English")
endif()
list(JOIN entries "\n" entries_text)
file(GENERATE OUTPUT ${package_dir}/contents.txt CONTENT "${entries_text}\n")

find_program(MAKENSIS makensis)
set(outputs ${BRANVIK_ZIP})
if(MAKENSIS)
  list(APPEND outputs ${BRANVIK_SETUP})
else()
  message(WARNING "makensis was not found: no installer is made (package nsis)")
endif()
file(GLOB_RECURSE example_files ${CMAKE_SOURCE_DIR}/examples/*)
add_custom_command(OUTPUT ${outputs}
  COMMAND ${CMAKE_COMMAND} -DCONTENTS=${package_dir}/contents.txt -DSTAGE=${BRANVIK_STAGE}
          -DZIP=${BRANVIK_ZIP} -DSETUP=${BRANVIK_SETUP} "-DMAKENSIS=${MAKENSIS}"
          -DNSIS_SCRIPT=${CMAKE_SOURCE_DIR}/cmake/windows/installer.nsi
          -DVERSION=${PROJECT_VERSION} -DICON=${CMAKE_BINARY_DIR}/src/branvik-configurator.ico
          -P ${CMAKE_SOURCE_DIR}/cmake/windows/MakePackages.cmake
  DEPENDS branvik-configurator branvik-config ${package_dir}/contents.txt ${example_files}
          ${CMAKE_SOURCE_DIR}/README.md ${CMAKE_SOURCE_DIR}/CHANGES.md
          ${CMAKE_SOURCE_DIR}/cmake/windows/MakePackages.cmake
          ${CMAKE_SOURCE_DIR}/cmake/windows/installer.nsi
  COMMENT "Packing ${BRANVIK_PACKAGE_NAME}: zip and installer"
  VERBATIM)
add_custom_target(windows_packages ALL DEPENDS ${outputs})
