#!/usr/bin/env python3
"""Validates JSON documents against a JSON Schema (draft 2020-12) with the validator of the
python3-jsonschema package, which shares no code with the library.

Usage: schema_agreement.py SCHEMA --accept DOC... --reject DOC...
Exits 0 when every document after --accept is valid and every one after --reject is not; a
missing validator is a failure, not a skip."""

import json
import sys

import jsonschema


def main(argv):
    with open(argv[1], encoding="utf-8") as f:
        schema = json.load(f)
    jsonschema.Draft202012Validator.check_schema(schema)
    validator = jsonschema.Draft202012Validator(schema)
    expect_valid, disagreements = None, 0
    for arg in argv[2:]:
        if arg in ("--accept", "--reject"):
            expect_valid = arg == "--accept"
            continue
        with open(arg, encoding="utf-8") as f:
            document = json.load(f)
        error = next(validator.iter_errors(document), None)
        if (error is None) != expect_valid:
            disagreements += 1
            print(f"{arg}: the schema " + ("refuses it: " + error.message[:300]
                                           if error else "accepts it, the converters do not"))
    return 1 if disagreements else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
