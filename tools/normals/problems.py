"""Input errors that name the file, line and field, worded as the C++ importers word them."""


class InputError(ValueError):
    """A line of a source file that cannot be used; the message names file, line and field."""

    def __init__(self, file, line, why, field=0, name=""):
        self.file, self.line, self.field, self.name, self.why = str(file), line, field, name, why
        # line: a line number, or a text that places the record in a file without lines (JSON)
        where = f"{self.file}, line {line}" if isinstance(line, int) else f"{self.file}, {line}"
        if field:
            where += f", field {field} ({name})"
        super().__init__(f"{where}: {why}")


def number(text, file, line, field, name, missing=()):
    """The float in text, None for a missing-value code in missing; InputError otherwise."""
    t = text.strip()
    if t in missing:
        return None
    try:
        value = float(t)
    except ValueError:
        raise InputError(file, line, f'"{t}" is not a number.', field, name) from None
    if value != value or value in (float("inf"), float("-inf")):
        raise InputError(file, line, f'"{t}" is not a number.', field, name)
    return value
