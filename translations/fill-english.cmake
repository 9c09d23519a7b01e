# English is the language of the sources: every text that has no English
# translation yet gets its source text, so the catalogue is never empty (Qt
# refuses to load an empty one). Plural forms are left to the translator.
#
# The module and verbosity names of the "QObject" context stay out of the
# English catalogue (left untranslated, so lrelease drops them): English
# shows their source texts.
#   cmake -DTS=lang_en.ts -P fill-english.cmake
file(READ ${TS} text)
string(REGEX REPLACE
  "<source>([^<]*)</source>([^<]*(<comment>[^<]*</comment>[^<]*)?)<translation type=\"unfinished\"></translation>"
  "<source>\\1</source>\\2<translation>\\1</translation>"
  text "${text}")

set(source_only "None" "Manager" "Network Manager" "Process Manager" "API Manager"
                "High" "Normal" "Low")
string(FIND "${text}" "<name>QObject</name>" begin)
if(begin GREATER -1)
  string(SUBSTRING "${text}" 0 ${begin} head)
  string(SUBSTRING "${text}" ${begin} -1 rest)
  string(FIND "${rest}" "</context>" end)
  string(SUBSTRING "${rest}" 0 ${end} block)
  string(SUBSTRING "${rest}" ${end} -1 tail)
  foreach(s IN LISTS source_only)
    string(REGEX REPLACE
      "<source>${s}</source>([ \n]*)<translation>${s}</translation>"
      "<source>${s}</source>\\1<translation type=\"unfinished\"></translation>"
      block "${block}")
  endforeach()
  set(text "${head}${block}${tail}")
endif()
file(WRITE ${TS} "${text}")
