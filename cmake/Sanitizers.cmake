# Sanitizer builds. Everything we compile is instrumented; Qt itself is not,
# see scripts/sanitize.sh for the run-time options and suppressions.
if(QUILLON_SANITIZE STREQUAL "address")
    set(QUILLON_SANITIZER_FLAGS -fsanitize=address,undefined -fno-sanitize-recover=undefined
                                -fno-omit-frame-pointer)
elseif(QUILLON_SANITIZE STREQUAL "thread")
    set(QUILLON_SANITIZER_FLAGS -fsanitize=thread -fno-omit-frame-pointer)
    # Our own locks and thread joins are announced to TSan in this build.
    add_compile_definitions(QUILLON_TSAN=1)
    # Every program carries the suppressions' place as its default options.
    set(QUILLON_TSAN_DEFAULTS ${CMAKE_CURRENT_LIST_DIR}/../scripts/sanitizers/tsan_defaults.cpp)
elseif(NOT QUILLON_SANITIZE STREQUAL "")
    message(FATAL_ERROR "QUILLON_SANITIZE must be empty, 'address' or 'thread'")
endif()

if(QUILLON_SANITIZER_FLAGS)
    add_compile_options(${QUILLON_SANITIZER_FLAGS})
    add_link_options(${QUILLON_SANITIZER_FLAGS})
endif()

if(QUILLON_TSAN_DEFAULTS)
    get_filename_component(QUILLON_TSAN_DEFAULTS ${QUILLON_TSAN_DEFAULTS} ABSOLUTE)
    get_filename_component(supp ${QUILLON_TSAN_DEFAULTS} DIRECTORY)
    add_library(quillon_tsan_defaults OBJECT ${QUILLON_TSAN_DEFAULTS})
    target_compile_definitions(quillon_tsan_defaults
                               PRIVATE QUILLON_TSAN_SUPPRESSIONS="${supp}/tsan.supp")
    link_libraries(quillon_tsan_defaults)
endif()
