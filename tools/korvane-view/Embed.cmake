# Writes OUT, a C++ file defining view::assets::<NAME> as the text of IN.
# A raw string literal keeps the file readable in the build tree; the text
# must not contain the literal's closing delimiter.
file(READ "${IN}" text)
string(FIND "${text}" ")korvane_asset\"" clash)
if(NOT clash EQUAL -1)
    message(FATAL_ERROR "${IN} contains the raw string delimiter")
endif()
file(WRITE "${OUT}.tmp" "// Generated from ${IN}; edit that file instead.\n"
    "#include \"tools/korvane-view/PageAssets.h\"\n"
    "namespace view::assets {\n"
    "extern const char ${NAME}[] = R\"korvane_asset(${text})korvane_asset\";\n"
    "}  // namespace view::assets\n")
file(COPY_FILE "${OUT}.tmp" "${OUT}" ONLY_IF_DIFFERENT)
