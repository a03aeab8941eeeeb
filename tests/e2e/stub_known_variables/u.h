int level;
