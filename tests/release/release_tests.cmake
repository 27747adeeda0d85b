# Checks of the release kit (cmake/release.cmake): the zip and the floppy
# image hold exactly NETREVIVE.EXE and README.TXT as built and checked here,
# README.TXT is fit for Notepad and MS-DOS edit, the version is the project's,
# the executable checks hold for the released NETREVIVE.EXE itself, and a
# second build elsewhere gives the same bytes.
find_program(NETREVIVE_MDIR mdir REQUIRED)
set(NETREVIVE_RELEASE_CHECK ${Python3_EXECUTABLE} ${PROJECT_SOURCE_DIR}/tests/release/check_release.py)
set(NETREVIVE_RELEASE_READ_BACK ${CMAKE_CURRENT_BINARY_DIR}/release-read-back)
set(NETREVIVE_RELEASE_KIT
  --zip ${NETREVIVE_RELEASE_ZIP} --image ${NETREVIVE_RELEASE_IMAGE}
  --sums ${NETREVIVE_RELEASE_DIR}/SHA256SUMS --mdir ${NETREVIVE_MDIR} --mcopy ${NETREVIVE_MCOPY})
set(NETREVIVE_RELEASED_README ${NETREVIVE_RELEASE_FILES_DIR}/README.TXT)

add_test(NAME release_kit
  COMMAND ${NETREVIVE_RELEASE_CHECK} kit ${NETREVIVE_RELEASE_KIT} --label NETREVIVE
    --extract ${NETREVIVE_RELEASE_READ_BACK}
    NETREVIVE.EXE=$<TARGET_FILE:netrevive> README.TXT=${NETREVIVE_RELEASED_README})
set_tests_properties(release_kit PROPERTIES FIXTURES_SETUP netrevive_release_read_back)
# The same kit against the wrong expectations: a missing and an extra file,
# other contents, another label, sums that do not match.
add_test(NAME release_kit_checks_reject
  COMMAND ${NETREVIVE_RELEASE_CHECK} --expect-findings "the zip holds" "the image holds"
    "NETREVIVE.EXE in the zip differs" "NETREVIVE.EXE on the image differs" "label is not"
    "sha256sum's format" "no right sum for netrevive-.*zip" "no right sum for netrevive-.*img" --
    kit ${NETREVIVE_RELEASE_KIT} --label OTHER --sums ${NETREVIVE_RELEASED_README}
    --extract ${NETREVIVE_RELEASE_READ_BACK}-rejected NETREVIVE.EXE=${NETREVIVE_RELEASED_README})

add_test(NAME release_readme
  COMMAND ${NETREVIVE_RELEASE_CHECK} readme --version ${PROJECT_VERSION} ${NETREVIVE_RELEASED_README})
add_test(NAME release_readme_checks_reject
  COMMAND ${NETREVIVE_RELEASE_CHECK} --expect-findings "not ASCII" "bare LF" "bare CR"
    "no line end" "77 columns" "placeholder" "version ${PROJECT_VERSION} is not named" --
    readme --version ${PROJECT_VERSION} ${PROJECT_SOURCE_DIR}/tests/release/bad_readme.txt)

# The executable checks on the copies read back from the zip and the image.
foreach(from zip image)
  set(released ${NETREVIVE_RELEASE_READ_BACK}/${from}/NETREVIVE.EXE)
  add_test(NAME release_${from}_exe_version
    COMMAND ${NETREVIVE_RELEASE_CHECK} version --version ${PROJECT_VERSION} ${released})
  add_test(NAME release_${from}_exe_pe_header COMMAND ${NETREVIVE_EXE_CHECK} header ${released})
  add_test(NAME release_${from}_exe_imports
    COMMAND ${NETREVIVE_EXE_CHECK} imports --lists ${NETREVIVE_EXE_LISTS} ${released})
  add_test(NAME release_${from}_exe_i486_instructions
    COMMAND ${NETREVIVE_EXE_CHECK} isa --objdump ${CMAKE_OBJDUMP} ${released})
  add_test(NAME release_${from}_exe_size
    COMMAND ${NETREVIVE_EXE_CHECK} size --budget ${NETREVIVE_SIZE_BUDGET} ${released})
  set_tests_properties(release_${from}_exe_version release_${from}_exe_pe_header
    release_${from}_exe_imports release_${from}_exe_i486_instructions release_${from}_exe_size
    PROPERTIES FIXTURES_REQUIRED netrevive_release_read_back)
endforeach()
add_test(NAME release_exe_version_checks_reject
  COMMAND ${NETREVIVE_RELEASE_CHECK} --expect-findings "fixed file and product versions are not 9.8.7"
    "FileVersion is '${PROJECT_VERSION}'" "ProductVersion is '${PROJECT_VERSION}'" --
    version --version 9.8.7 $<TARGET_FILE:netrevive>)

# A fresh build of just the release in a second folder, compared byte for byte.
add_test(NAME release_reproducible
  COMMAND ${NETREVIVE_RELEASE_CHECK} same --cmake ${CMAKE_COMMAND} --source-dir ${PROJECT_SOURCE_DIR}
    --reference ${CMAKE_CURRENT_BINARY_DIR} --build-dir ${CMAKE_CURRENT_BINARY_DIR}/release-again/build
    --toolchain ${CMAKE_TOOLCHAIN_FILE} --build-type ${CMAKE_BUILD_TYPE} --generator ${CMAKE_GENERATOR})
set_tests_properties(release_reproducible PROPERTIES TIMEOUT 900)
