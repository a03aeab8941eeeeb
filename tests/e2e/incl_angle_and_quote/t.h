typedef int t_count;
