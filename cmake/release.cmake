# The release kit, what is handed out to a PC without networking: a zip and
# a 1.44 MB floppy image, each holding NETREVIVE.EXE and README.TXT, and
# their SHA-256 sums, in release/ of the build folder. Part of the default
# build; `cmake --build --preset win98 --target release` makes it alone.
# cmake/make_release.py describes the files and what keeps them the same
# from build to build.
find_package(Python3 REQUIRED COMPONENTS Interpreter)
find_program(NETREVIVE_MFORMAT mformat REQUIRED)
find_program(NETREVIVE_MCOPY mcopy REQUIRED)

set(NETREVIVE_RELEASE_DIR ${CMAKE_CURRENT_BINARY_DIR}/release)
# NETREVIVE.EXE and README.TXT as they go into the zip and onto the floppy.
set(NETREVIVE_RELEASE_FILES_DIR ${CMAKE_CURRENT_BINARY_DIR}/release-files)
set(NETREVIVE_RELEASE_ZIP ${NETREVIVE_RELEASE_DIR}/netrevive-${PROJECT_VERSION}.zip)
set(NETREVIVE_RELEASE_IMAGE ${NETREVIVE_RELEASE_DIR}/netrevive-${PROJECT_VERSION}.img)
set(NETREVIVE_RELEASE_README ${PROJECT_SOURCE_DIR}/release/README.TXT.in)

# Run on every build: it takes a fraction of a second, and its input
# includes the commit, which no file dependency would see change.
add_custom_target(release ALL
  COMMAND ${Python3_EXECUTABLE} ${PROJECT_SOURCE_DIR}/cmake/make_release.py
    --source-dir ${PROJECT_SOURCE_DIR} --version ${PROJECT_VERSION}
    --exe $<TARGET_FILE:netrevive> --readme ${NETREVIVE_RELEASE_README}
    --files-dir ${NETREVIVE_RELEASE_FILES_DIR} --out-dir ${NETREVIVE_RELEASE_DIR}
    --mformat ${NETREVIVE_MFORMAT} --mcopy ${NETREVIVE_MCOPY}
  COMMENT "Release kit in ${NETREVIVE_RELEASE_DIR}"
  VERBATIM)
add_dependencies(release netrevive)
