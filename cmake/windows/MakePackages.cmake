# Stages the Windows package and makes the zip and the installer from it (script mode, run by
# the build: cmake/WindowsPackage.cmake says with what).
#   CONTENTS  file of lines "source|folder in the package" (a folder source: its contents)
#   STAGE     the package's folder, made anew; ZIP, SETUP the outputs; MAKENSIS, NSIS_SCRIPT,
#             ICON (the installer's)
#   VERSION   the program's version

file(REMOVE_RECURSE "${STAGE}")
file(MAKE_DIRECTORY "${STAGE}")
file(STRINGS "${CONTENTS}" entries)
foreach(entry IN LISTS entries)
  string(REPLACE "|" ";" entry "${entry}")
  list(GET entry 0 source)
  list(GET entry 1 folder)
  if(IS_DIRECTORY "${source}")
    file(COPY "${source}/" DESTINATION "${STAGE}/${folder}")
  else()
    file(COPY "${source}" DESTINATION "${STAGE}/${folder}")
  endif()
endforeach()

# The zip holds the package's folder, so that it unpacks into a folder of its own.
get_filename_component(parent "${STAGE}" DIRECTORY)
get_filename_component(name "${STAGE}" NAME)
file(REMOVE "${ZIP}")
execute_process(COMMAND "${CMAKE_COMMAND}" -E tar cf "${ZIP}" --format=zip "${name}"
                WORKING_DIRECTORY "${parent}" RESULT_VARIABLE failed)
if(failed)
  message(FATAL_ERROR "The zip ${ZIP} could not be made")
endif()

if(NOT MAKENSIS)
  return()
endif()
# The installer installs every staged file by name and its uninstaller removes exactly those, and
# then each folder that is empty: whatever else a user left in them stays.
file(GLOB_RECURSE files RELATIVE "${STAGE}" "${STAGE}/*")
file(GLOB_RECURSE folders LIST_DIRECTORIES true RELATIVE "${STAGE}" "${STAGE}/*")
list(REMOVE_ITEM folders ${files})
list(SORT files)
set(install "")
set(uninstall "")
set(current "-")
foreach(file IN LISTS files)
  get_filename_component(folder "${file}" DIRECTORY)
  string(REPLACE "/" "\\" windows_file "${file}")
  string(REPLACE "/" "\\" windows_folder "${folder}")
  if(NOT folder STREQUAL current)
    if(folder STREQUAL "")
      string(APPEND install "  SetOutPath \"$INSTDIR\"\n")
    else()
      string(APPEND install "  SetOutPath \"$INSTDIR\\${windows_folder}\"\n")
    endif()
    set(current "${folder}")
  endif()
  string(APPEND install "  File \"${STAGE}/${file}\"\n")
  string(APPEND uninstall "  Delete \"$INSTDIR\\${windows_file}\"\n")
endforeach()
# Deepest folders first.
list(SORT folders ORDER DESCENDING)
foreach(folder IN LISTS folders)
  string(REPLACE "/" "\\" windows_folder "${folder}")
  string(APPEND uninstall "  RMDir \"$INSTDIR\\${windows_folder}\"\n")
endforeach()
file(WRITE "${parent}/install-files.nsh" "${install}")
file(WRITE "${parent}/uninstall-files.nsh" "${uninstall}")

file(REMOVE "${SETUP}")
execute_process(
  COMMAND "${MAKENSIS}" -V2 -INPUTCHARSET UTF8 "-DVERSION=${VERSION}" "-DOUTFILE=${SETUP}"
          "-DFILES=${parent}/install-files.nsh" "-DUNFILES=${parent}/uninstall-files.nsh"
          "-DSTAGE=${STAGE}" "-DICON=${ICON}" "${NSIS_SCRIPT}"
  RESULT_VARIABLE failed)
if(failed)
  message(FATAL_ERROR "makensis could not make ${SETUP}")
endif()
