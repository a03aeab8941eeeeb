int g;
