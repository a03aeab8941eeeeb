/* Nothing to declare: the frame cases only look at the run itself. */
