int in_block(int);
