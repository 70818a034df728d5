# Turns the stored templates into a C++ source file, so that the test
# build carries them the way the program carries its resources.
function(veltrik_embed_templates out)
  set(src "#include <cstdint>\n#include <vector>\n\nnamespace veltrik::testing {\n")
  foreach(pair "105;safeboot_xp.reg" "106;safeboot_vista7.reg" "107;safeboot_win7.reg" "108;safeboot_win8.reg"
               "109;safeboot_win10.reg")
    list(GET pair 0 id)
    list(GET pair 1 name)
    set(path ${PROJECT_SOURCE_DIR}/resources/${name})
    set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${path})
    file(READ ${path} hex HEX)
    string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," bytes "${hex}")
    string(APPEND src "extern const std::vector<std::uint8_t> kEmbeddedTemplate${id} = {${bytes}};\n")
  endforeach()
  string(APPEND src "}  // namespace veltrik::testing\n")
  file(GENERATE OUTPUT ${out} CONTENT "${src}")
endfunction()
