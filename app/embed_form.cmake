# Writes the C++ source that holds the window's description: FORM's text with the icon file ICON
# (when given) as the hexadecimal of "Icon.Data", and HOME_PAGE_TITLE in the link button's caption,
# put into TEMPLATE. Run at build time with cmake -P. The output is rewritten only when it changes.
file(READ "${FORM}" form)
if(ICON)
  # 32 bytes a line, as a stored description keeps binary data.
  file(READ "${ICON}" hex HEX)
  string(TOUPPER "${hex}" hex)
  string(REPEAT "." 64 line)
  string(REGEX REPLACE "(${line})" "\\1\n    " hex "${hex}")
  string(STRIP "${hex}" SIB_WINDOW_ICON_HEX)
else()
  # Without an icon the window keeps the desktop's default one.
  string(REGEX REPLACE "\n  Icon\\.Data = {\n    @SIB_WINDOW_ICON_HEX@}" "" form "${form}")
endif()
string(REPLACE "'" "''" SIB_HOME_PAGE_TITLE "${HOME_PAGE_TITLE}")
string(CONFIGURE "${form}" SIB_FORM1_TEXT @ONLY)
configure_file("${TEMPLATE}" "${OUTPUT}" @ONLY)
