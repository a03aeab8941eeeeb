/* The size pragmas may be abbreviated as every pragma of the tool: the
   preprocessor passes them to the analyser, which sets the sizes that later
   #if lines read. */
#pragma ortek size(int)=16
#pragma ortek si long = 64
int counter;
