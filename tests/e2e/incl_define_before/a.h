int a_table[N];
