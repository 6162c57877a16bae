# Writes the expected records (RECORDS) into a C++ source (OUTPUT) as one string, so that
# both builds carry the same text and need no file at run time.
file(READ ${RECORDS} records)
file(WRITE ${OUTPUT}.new
     "extern const char* const sharedCaseRecords;\n"
     "const char* const sharedCaseRecords = R\"records(${records})records\";\n")
file(COPY_FILE ${OUTPUT}.new ${OUTPUT} ONLY_IF_DIFFERENT)
