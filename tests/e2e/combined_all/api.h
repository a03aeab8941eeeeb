extern int api_version;
int api_call(int code);
