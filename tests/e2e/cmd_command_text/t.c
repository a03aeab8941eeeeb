/* nothing declared: the case is about the command line */
