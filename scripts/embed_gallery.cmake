# Writes the shipped rule bases (INPUTS, a |-separated list of files, in
# gallery order) into OUTPUT as NUL-terminated char arrays, byte for byte, with
# a table of their file names, texts and lengths (policy/RuleGallery.h).
string(REPLACE "|" ";" inputs "${INPUTS}")
set(arrays "")
set(table "")
set(index 0)
foreach(input ${inputs})
  file(READ ${input} hex HEX)
  string(LENGTH "${hex}" hexLength)
  math(EXPR byteCount "${hexLength} / 2")
  string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," bytes "${hex}")
  string(REGEX REPLACE "(0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,)" "\\1\n" bytes "${bytes}")
  get_filename_component(fileName ${input} NAME)
  string(APPEND arrays "static const char kShipped${index}[] = {\n${bytes}0x00};\n")
  string(APPEND table "    {\"${fileName}\", kShipped${index}, ${byteCount}},\n")
  math(EXPR index "${index} + 1")
endforeach()
file(WRITE ${OUTPUT}
"// Generated from resources/rules/ by scripts/embed_gallery.cmake; do not edit.\n"
"#include \"policy/RuleGallery.h\"\n"
"${arrays}"
"const ShippedRuleBase kShippedRuleBases[] = {\n${table}};\n"
"const size_t kShippedRuleBaseCount = ${index};\n")
