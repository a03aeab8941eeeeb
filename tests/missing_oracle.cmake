# The stand-in for a differential test whose oracle was not found at
# configuration while the oracles are required: cmake -DWHAT=... -P missing_oracle.cmake
message(FATAL_ERROR "${WHAT} not found: this comparison cannot run, and the oracles are required "
                    "(ORTEK_REQUIRE_ORACLES; scripts/install-deps installs them)")
