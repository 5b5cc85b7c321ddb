"""What wine itself adds to a Windows program's standard error."""

import re

# A thread that is in a call to wine's server while its process ends prints
# this, as far as it gets before the end; on Windows nothing is printed.
CLIENT_ERROR = re.compile(rb"wine client error:[^\n]*\n?")


def program_errors(errors):
    """Standard error as the program wrote it, without wine's complaints."""
    return CLIENT_ERROR.sub(b"", errors)
