extern int u_level;
