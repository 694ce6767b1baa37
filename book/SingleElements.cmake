# Run after xsdcxx on the generated xmlbook.cxx (-DFILE=...).
#
# For an element member that holds one value, the generated reader builds the
# child first and only then asks whether the member is still free, so a
# repeated element that is itself malformed fails the whole document instead
# of ending the visit of its parent's children. This moves the test before
# the build: a repeated single element is left unread.
file(READ "${FILE}" code)
set(built "::std::unique_ptr< ([A-Za-z]+)_type > r \\(\n +[A-Za-z]+_traits::create \\(i, f, this\\)\\);\n\n +if \\(([^\n]+)\\)\n +\\{\n")
string(REGEX MATCHALL "${built}" found "${code}")
list(LENGTH found count)
if(count EQUAL 0)
  message(FATAL_ERROR "SingleElements.cmake: the generated reader has changed shape; nothing to rewrite in ${FILE}")
endif()
string(REGEX REPLACE "${built}"
       "if (\\2)\n        {\n          ::std::unique_ptr< \\1_type > r (\n            \\1_traits::create (i, f, this));\n"
       code "${code}")
file(WRITE "${FILE}" "${code}")
