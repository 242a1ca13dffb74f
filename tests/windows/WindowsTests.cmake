# The Windows packages and the zip's program under Wine (included by tests/CMakeLists.txt for a
# Windows build). BRANVIK_LINUX_PROGRAM: the Linux build's program, whose command-line results
# the Windows program's must equal byte for byte (test.sh passes it).
set(BRANVIK_LINUX_PROGRAM "" CACHE FILEPATH
    "The Linux build's branvik-configurator, to compare the command line's results with")
set(windows_tests ${CMAKE_CURRENT_SOURCE_DIR}/windows)
add_test(NAME WindowsPackageHoldsEveryImportedDll
  COMMAND ${windows_tests}/package_check.sh ${BRANVIK_ZIP} ${PROJECT_VERSION})
add_test(NAME WindowsProgramRunsFromTheZip
  COMMAND ${windows_tests}/smoke_test.sh ${BRANVIK_ZIP} ${BRANVIK_LINUX_PROGRAM})
set_tests_properties(WindowsProgramRunsFromTheZip PROPERTIES TIMEOUT 900)
if(MAKENSIS)
  add_test(NAME WindowsInstallerInstallsAndUninstalls
    COMMAND ${windows_tests}/installer_check.sh ${BRANVIK_SETUP} ${BRANVIK_ZIP})
  # It installs into the Wine prefix's menu and registry that the other tests share.
  set_tests_properties(WindowsInstallerInstallsAndUninstalls PROPERTIES TIMEOUT 900
    RUN_SERIAL TRUE)
endif()
