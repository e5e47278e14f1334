# KORVANE_SANITIZE=address builds with AddressSanitizer and UBSan (halting on the
# first error); KORVANE_SANITIZE=thread with ThreadSanitizer.
if(KORVANE_SANITIZE STREQUAL "address")
    add_compile_options(-fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer)
    add_link_options(-fsanitize=address,undefined)
elseif(KORVANE_SANITIZE STREQUAL "thread")
    add_compile_options(-fsanitize=thread -fno-omit-frame-pointer)
    add_link_options(-fsanitize=thread)
elseif(NOT KORVANE_SANITIZE STREQUAL "")
    message(FATAL_ERROR "KORVANE_SANITIZE must be empty, address or thread")
endif()
