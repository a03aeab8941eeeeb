int from_header;
