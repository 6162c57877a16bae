# Writes the test facade without one method: removes the lines from "// method NAME" to
# "// end NAME" of SOURCE and writes the rest to OUTPUT.
# Usage: cmake -DSOURCE=KorvanSim.java -DOUTPUT=out/KorvanSim.java -DMETHOD=getData -P strip_method.cmake
file(READ "${SOURCE}" text)
set(begin_marker "    // method ${METHOD}\n")
set(end_marker "    // end ${METHOD}\n")
string(FIND "${text}" "${begin_marker}" begin)
string(FIND "${text}" "${end_marker}" end)
if(begin EQUAL -1 OR end LESS begin)
    message(FATAL_ERROR "${SOURCE} has no marked method ${METHOD}")
endif()
string(LENGTH "${end_marker}" end_length)
math(EXPR after "${end} + ${end_length}")
string(SUBSTRING "${text}" 0 ${begin} head)
string(SUBSTRING "${text}" ${after} -1 tail)
file(WRITE "${OUTPUT}" "${head}${tail}")
