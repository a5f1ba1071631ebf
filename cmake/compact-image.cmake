# mapcue.exe in three sections instead of six. At 512-byte file alignment every section
# with bytes in the file costs its padding, and the headers fit in 512 bytes only for three
# sections or fewer: .text holds code and constants (read, execute); .bss the one global
# (read, write; nothing in the file); .rdata the resources, the imports and their address
# table, and the relocations (read only: the loader opens the address table, which its
# directory names, only while it binds). Link-time optimisation, no frame pointer and ABI
# alignment of data keep .text within 2048 bytes. GNU ld fills the import, resource and
# relocation directories only from sections of those names, so a step after each link
# fills them from the link map.

# What every object of a compact image is compiled with, and the compact link itself.
add_library(mapcue_compact INTERFACE)
target_compile_options(mapcue_compact INTERFACE -flto -fomit-frame-pointer -malign-data=abi)
target_link_options(mapcue_compact INTERFACE
  -flto -Wl,-T,${CMAKE_CURRENT_LIST_DIR}/compact.ld -Wl,--orphan-handling=error
  -Wl,-Map=%.map)

# Links TARGET as a compact image and fills its directories.
function(mapcue_compact_image target)
  target_link_libraries(${target} PRIVATE mapcue_compact)
  set_property(TARGET ${target} APPEND PROPERTY LINK_DEPENDS ${CMAKE_CURRENT_FUNCTION_LIST_DIR}/compact.ld)
  add_custom_command(TARGET ${target} POST_BUILD
    COMMAND /usr/bin/python3 ${CMAKE_CURRENT_FUNCTION_LIST_DIR}/set-data-directories.py
            $<TARGET_FILE:${target}> $<TARGET_FILE:${target}>.map
    VERBATIM)
endfunction()
