# English is the language of the sources: every text that has no English
# translation yet gets its source text, so the catalogue is never empty (Qt
# refuses to load an empty one). Plural forms are left to the translator.
#   cmake -DTS=lang_en.ts -P fill-english.cmake
file(READ ${TS} text)
string(REGEX REPLACE
  "<source>([^<]*)</source>([^<]*(<comment>[^<]*</comment>[^<]*)?)<translation type=\"unfinished\"></translation>"
  "<source>\\1</source>\\2<translation>\\1</translation>"
  text "${text}")
file(WRITE ${TS} "${text}")
