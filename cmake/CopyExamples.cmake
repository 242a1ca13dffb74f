# Copies the example catalogue to ${DST}/Setting and the example game folder to
# ${DST}/example-gamedata, file by file, leaving every file that already exists alone:
# the user's catalogue edits, settings and game-file changes survive a rebuild.
foreach(pair "Setting;Setting" "gamedata;example-gamedata")
  list(GET pair 0 from)
  list(GET pair 1 to)
  file(GLOB_RECURSE files RELATIVE "${SRC}/${from}" "${SRC}/${from}/*")
  foreach(f IN LISTS files)
    if(NOT EXISTS "${DST}/${to}/${f}")
      get_filename_component(dir "${DST}/${to}/${f}" DIRECTORY)
      file(MAKE_DIRECTORY "${dir}")
      file(COPY_FILE "${SRC}/${from}/${f}" "${DST}/${to}/${f}")
    endif()
  endforeach()
endforeach()
