# `cmake --build --preset windows --target release` packs this build's mapcue.exe and
# mapcue64.exe into MAPCUE_DIST_DIR; scripts/release.sh does it from a fresh build folder.
set(MAPCUE_DIST_DIR ${PROJECT_SOURCE_DIR}/dist CACHE PATH "Folder for the release zip")
add_custom_target(release
  COMMAND ${PROJECT_SOURCE_DIR}/scripts/pack-release.sh ${MAPCUE_VERSION_TEXT} ${MAPCUE_DIST_DIR}
          $<TARGET_FILE:mapcue> ${CMAKE_BINARY_DIR}/x64/mapcue64.exe
  DEPENDS mapcue x64 VERBATIM)
