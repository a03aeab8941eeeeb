extern int log_level;
