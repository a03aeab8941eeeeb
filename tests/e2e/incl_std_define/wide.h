int wide_flag;
