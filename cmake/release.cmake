# `cmake --build --preset windows --target release` packs this build's mapcue.exe into
# MAPCUE_DIST_DIR; scripts/release.sh does it from a fresh build folder.
set(MAPCUE_DIST_DIR ${PROJECT_SOURCE_DIR}/dist CACHE PATH "Folder for the release zip")
add_custom_target(release
  COMMAND ${PROJECT_SOURCE_DIR}/scripts/pack-release.sh
          $<TARGET_FILE:mapcue> ${MAPCUE_VERSION_TEXT} ${MAPCUE_DIST_DIR}
  DEPENDS mapcue VERBATIM)
