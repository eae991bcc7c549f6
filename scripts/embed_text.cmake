# Writes INPUT's bytes into OUTPUT as a NUL-terminated char array, byte for
# byte (CR LF line ends stay as they are).
file(READ ${INPUT} hex HEX)
string(LENGTH "${hex}" hexLength)
math(EXPR byteCount "${hexLength} / 2")
string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," bytes "${hex}")
string(REGEX REPLACE "(0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,)" "\\1\n" bytes "${bytes}")
file(WRITE ${OUTPUT}
"// Generated from resources/Rules.clp by scripts/embed_text.cmake; do not edit.\n"
"#include \"policy/RuleBaseText.h\"\n"
"static const char kRuleBaseBytes[] = {\n${bytes}0x00};\n"
"const char* const kRuleBaseText = kRuleBaseBytes;\n"
"const unsigned kRuleBaseLength = ${byteCount};\n")
