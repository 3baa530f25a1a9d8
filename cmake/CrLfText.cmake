# cmake -DINPUT=FILE -DOUTPUT=FILE -P CrLfText.cmake: OUTPUT is the text of INPUT with CR LF line ends,
# which the Notepad of every Windows shows as lines (before Windows 10 it shows LF alone as nothing).
file(READ ${INPUT} text)
string(REPLACE "\r\n" "\n" text "${text}")
string(REPLACE "\n" "\r\n" text "${text}")
file(WRITE ${OUTPUT} "${text}")
