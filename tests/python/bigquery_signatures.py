"""BigQuery SQL checked against BigQuery's documented signatures
(tests/data/bigquery_signatures.txt), call by call, as the SQL is written.

sqlglot's tree reads a quoted date part as the keyword and an INTERVAL as its
parts, so the calls are read from sqlglot's tokens of the text instead: each
word followed by "(" (a dotted name as one) is a call, unless it is a word of
the SQL syntax itself.
"""
import pathlib
import re

import sqlglot
from sqlglot import exp
from sqlglot.dialects.bigquery import BigQuery
from sqlglot.errors import OptimizeError
from sqlglot.optimizer.annotate_types import annotate_types
from sqlglot.optimizer.qualify import qualify
from sqlglot.tokens import TokenType

TABLE_FILE = pathlib.Path(__file__).resolve().parent.parent / "data" / "bigquery_signatures.txt"

# Words that may stand before "(" without calling anything.
SYNTAX = {"ALL", "AND", "AS", "BY", "DISTINCT", "ELSE", "EXCEPT", "EXISTS", "FROM", "HAVING", "IN",
          "INTERSECT", "INTERVAL", "IS", "JOIN", "LIKE", "NOT", "ON", "OR", "OVER", "SELECT", "THEN",
          "UNION", "USING", "VALUES", "WHEN", "WHERE", "WITH"}
TYPES = {"ARRAY", "BIGNUMERIC", "BOOL", "BYTES", "DATE", "DATETIME", "FLOAT64", "GEOGRAPHY", "INT64",
         "INTERVAL", "JSON", "NUMERIC", "STRING", "STRUCT", "TIME", "TIMESTAMP"}
WORD = re.compile(r"[A-Za-z_][A-Za-z0-9_]*\Z")
TEXTS = {TokenType.STRING, TokenType.RAW_STRING, TokenType.BYTE_STRING}
OPEN = {TokenType.L_PAREN, TokenType.L_BRACKET}
CLOSE = {TokenType.R_PAREN, TokenType.R_BRACKET}


def read_table(path=TABLE_FILE):
    """name -> (allowed counts, kinds, clauses); the sets of keywords by name."""
    sets, table = {}, {}
    for line in path.read_text().splitlines():
        if not line or line.startswith("#"):
            continue
        if line.startswith("@"):
            name, *words = line[1:].split()
            sets[name] = set(words)
            continue
        name, counts, kinds, clauses = line.split("|")
        allowed = set()
        for part in counts.split(","):
            least, _, most = part.partition("-")
            allowed |= set(range(int(least), (64 if most == "n" else int(most or least)) + 1))
        assert name not in table, f"{name} twice in {path.name}"
        table[name] = (allowed, kinds.split(",") if kinds else [], set(filter(None, clauses.split(","))))
    return table, sets


TABLE, SETS = read_table()


def _is_word(token):
    return token.token_type not in TEXTS | {TokenType.IDENTIFIER} and WORD.match(token.text) is not None


def _split(tokens):
    """The arguments of a call's inside: token lists split at the commas outside brackets."""
    args, current, depth = [], [], 0
    for token in tokens:
        if token.token_type in OPEN:
            depth += 1
        elif token.token_type in CLOSE:
            depth -= 1
        elif token.token_type == TokenType.COMMA and depth == 0:
            args.append(current)
            current = []
            continue
        current.append(token)
    if current or args:
        args.append(current)
    return args


def _top_level_words(tokens):
    """(position, upper-case text) of each word outside brackets ("ORDER BY" is one)."""
    depth = 0
    for at, token in enumerate(tokens):
        if token.token_type in OPEN:
            depth += 1
        elif token.token_type in CLOSE:
            depth -= 1
        elif depth == 0 and token.token_type not in TEXTS | {TokenType.IDENTIFIER}:
            yield at, token.text.upper()


def _keyword(tokens):
    """The keyword an argument is, "WEEK(MONDAY)" included, or None."""
    words = [t.text.upper() for t in tokens]
    if len(tokens) == 1 and _is_word(tokens[0]):
        return words[0]
    if len(tokens) == 4 and _is_word(tokens[0]) and _is_word(tokens[2]) and words[1] == "(" and words[3] == ")":
        return f"{words[0]}({words[2]})"
    return None


def _is_negative_number(tokens):
    """A number written with a minus, in brackets or not: "-1", "(- 2)"."""
    while len(tokens) > 2 and tokens[0].token_type == TokenType.L_PAREN and tokens[-1].token_type == TokenType.R_PAREN:
        tokens = tokens[1:-1]
    return len(tokens) == 2 and tokens[0].token_type == TokenType.DASH and tokens[1].token_type == TokenType.NUMBER


def _kind_fault(kind, tokens):
    """Why the argument is not of the kind, or None when it is."""
    words = [t.text.upper() for t in tokens]
    if not tokens:
        return "an empty argument"
    is_text = len(tokens) == 1 and tokens[0].token_type in TEXTS
    if "@" in kind:
        form, _, set_name = kind.partition("@")
        words_of_set = SETS[set_name]
        if form == "interval":
            if words[0] != "INTERVAL":
                return "no INTERVAL where BigQuery takes an interval"
            if len(tokens) < 3 or words[-1] not in words_of_set:
                return f"an interval whose part is not one of {sorted(words_of_set)}"
            return None
        if is_text:
            return "a text where BigQuery takes a keyword"
        if _keyword(tokens) not in words_of_set:
            return f"not one of the keywords {sorted(words_of_set)}"
        return None
    if kind.startswith("named:"):
        if len(tokens) < 3 or words[0] != kind[6:].upper() or tokens[1].token_type != TokenType.FARROW:
            return f"not the named argument {kind[6:]} => ..."
        return None
    if kind == "star":
        return None if words == ["*"] else "not *"
    if kind == "query":
        return None if words[0] in ("SELECT", "WITH") else "not a query"
    if kind == "integer" and len(tokens) <= 2 and tokens[-1].token_type == TokenType.NUMBER and any(
            c in tokens[-1].text for c in ".eE"):
        return "a number with a fraction where BigQuery takes an integer"
    if kind in ("integer", "length") and _is_rounded(tokens):
        return "a FLOAT64 of rounding where BigQuery takes an INT64"
    if kind == "length" and _is_negative_number(tokens):
        return "a negative number where BigQuery takes a length (it fails the query)"
    if words[0] == "INTERVAL":
        return "an INTERVAL where BigQuery takes a value"
    if tokens[0].token_type == TokenType.STAR and len(tokens) == 1:
        return "* where BigQuery takes a value"
    if len(tokens) > 1 and tokens[1].token_type == TokenType.FARROW:
        return "a named argument where BigQuery takes a value"
    aliases = [at for at, word in _top_level_words(tokens) if word == "AS"]
    if kind == "as_type":
        if len(aliases) != 1 or aliases[0] + 1 >= len(tokens):
            return "not 'value AS type'"
        if words[aliases[0] + 1] not in TYPES:
            return f"the type {tokens[aliases[0] + 1].text}, which BigQuery does not have"
        if words[aliases[0] + 1] == "STRING" and _is_container(tokens[:aliases[0]]):
            return "a list or a record cast to STRING, which BigQuery casts to no STRING"
        return None
    if kind == "field":
        return None if not aliases or (aliases == [len(tokens) - 2]) else "not 'value [AS name]'"
    return "'AS' inside an argument" if aliases else None


ROUNDING = {"FLOOR", "CEIL", "CEILING", "ROUND", "TRUNC"}


def _spans(tokens, start):
    """Whether the bracket opened at `start` closes at the last token."""
    depth = 0
    for at in range(start, len(tokens)):
        depth += tokens[at].token_type in OPEN
        depth -= tokens[at].token_type in CLOSE
        if depth == 0:
            return at == len(tokens) - 1
    return False


def _is_rounded(tokens):
    """Whether the value is a FLOAT64 that FLOOR, CEIL, ROUND or TRUNC gives:
    such a call, in brackets or not, or a CASE one of whose results is one."""
    pending = [tokens]
    while pending:
        tokens = pending.pop()
        while len(tokens) > 2 and tokens[0].token_type == TokenType.L_PAREN and _spans(tokens, 0):
            tokens = tokens[1:-1]
        if len(tokens) > 2 and tokens[0].text.upper() in ROUNDING and tokens[1].token_type == TokenType.L_PAREN \
                and _spans(tokens, 1):
            return True
        if tokens and tokens[0].text.upper() == "CASE" and tokens[-1].text.upper() == "END":
            inner = tokens[1:-1]
            starts = [at + 1 for at, word in _top_level_words(inner) if word in ("THEN", "ELSE")]
            stops = [at for at, word in _top_level_words(inner) if word in ("WHEN", "ELSE")] + [len(inner)]
            for start in starts:
                pending.append(inner[start:min(stop for stop in stops if stop >= start)])
    return False


def _strip_clauses(name, inside, clauses, faults):
    """The arguments without the call's clauses (an ORDER BY may list several
    keys); a clause the function does not take is a fault."""
    found = []
    if inside and inside[0].text.upper() == "DISTINCT":
        found.append("distinct")
        inside = inside[1:]
    ends = {"IGNORE": "nulls", "RESPECT": "nulls", "ORDER BY": "order", "LIMIT": "limit"}
    for at, word in _top_level_words(inside):
        if word in ends and at > 0:
            found += [ends[w] for _, w in _top_level_words(inside[at:]) if w in ends]
            inside = inside[:at]
            break
    for clause in found:
        if clause not in clauses:
            faults.append(f"{name}: {clause.upper()} clause, which {name} does not take")
    return _split(inside)


def _calls(tokens, faults, out):
    """Checks every call among the tokens, those inside arguments too."""
    at = 0
    while at < len(tokens) - 1:
        if not _is_word(tokens[at]) or (at > 0 and tokens[at - 1].token_type == TokenType.DOT):
            at += 1
            continue
        # A dotted name (NET.HOST) is one call's name.
        name, end = tokens[at].text.upper(), at + 1
        while end + 1 < len(tokens) and tokens[end].token_type == TokenType.DOT and _is_word(tokens[end + 1]):
            name, end = f"{name}.{tokens[end + 1].text.upper()}", end + 2
        if end >= len(tokens) or tokens[end].token_type != TokenType.L_PAREN or name in SYNTAX:
            at = end
            continue
        depth, close = 0, end
        for close in range(end, len(tokens)):
            depth += tokens[close].token_type in OPEN
            depth -= tokens[close].token_type in CLOSE
            if depth == 0:
                break
        inside = tokens[end + 1:close]
        over = close + 1 < len(tokens) and tokens[close + 1].text.upper() == "OVER"
        out.append(_check_call(name, inside, over, faults))
        for arg in _split(inside):
            if _keyword(arg) is None or len(arg) == 1:
                _calls(arg, faults, out)
        at = close + 1


def _check_call(name, inside, over, faults):
    signature = TABLE.get(name)
    if signature is None:
        faults.append(f"{name}: not a function BigQuery documents")
        return name
    counts, kinds, clauses = signature
    # A type's own commas (STRUCT<a INT64, b STRING>) part no arguments, nor
    # does a query's ORDER BY end its argument.
    if kinds in (["as_type"], ["query"]):
        args = [inside]
    else:
        args = _strip_clauses(name, inside, clauses, faults)
    if over and "over" not in clauses:
        faults.append(f"{name}: OVER, which {name} does not take")
    if len(args) not in counts:
        faults.append(f"{name}: {len(args)} arguments")
        return name
    if name == "FORMAT":
        _format_faults(args, faults)
    for position, arg in enumerate(args):
        kind = kinds[min(position, len(kinds) - 1)]
        why = [_kind_fault(k, arg) for k in kind.split("/")]
        if None not in why:
            faults.append(f"{name}: argument {position + 1} is {why[0]}")
    return name


def _is_container(tokens):
    """An ARRAY or a STRUCT written as one, the whole value: "[...]", "ARRAY[...]", "STRUCT(...)"."""
    start = 1 if len(tokens) > 1 and tokens[0].text.upper() in ("ARRAY", "STRUCT") else 0
    if start >= len(tokens) or tokens[start].token_type not in OPEN or (
            start == 0 and tokens[0].token_type != TokenType.L_BRACKET):
        return False
    return _spans(tokens, start)


CONVERSION = re.compile(r"%[-+ #0'*]*[0-9.]*([a-zA-Z%])")


def _format_faults(args, faults):
    """FORMAT's %s takes a STRING only: a number, a boolean, a list or a record written there fails the query."""
    if not args or len(args[0]) != 1 or args[0][0].token_type not in TEXTS:
        return
    conversions = [c for c in CONVERSION.findall(args[0][0].text) if c != "%"]
    for position, (conversion, arg) in enumerate(zip(conversions, args[1:])):
        words = [t.text.upper() for t in arg]
        if conversion == "s" and (words in (["TRUE"], ["FALSE"]) or _is_negative_number(arg) or (
                len(arg) == 1 and arg[0].token_type == TokenType.NUMBER)):
            faults.append(f"FORMAT: argument {position + 2} is a number or a boolean where %s takes a STRING")
        elif conversion == "s" and _is_container(arg):
            faults.append(f"FORMAT: argument {position + 2} is a list or a record where %s takes a STRING")


def call_faults(sql):
    """(names of the calls in the SQL, faults found): a fault names the call and what is wrong."""
    faults, names = [], []
    _calls(BigQuery().tokenize(sql), faults, names)
    return names, faults


def _holds_array(data_type):
    """Whether a type is an ARRAY or a STRUCT with an ARRAY among its fields, at any depth."""
    pending = [data_type]
    while pending:
        data_type = pending.pop()
        if data_type is None:
            continue
        if data_type.is_type(exp.DataType.Type.ARRAY):
            return True
        if data_type.is_type(exp.DataType.Type.STRUCT):
            pending += [field.args.get("kind") if isinstance(field, exp.ColumnDef) else field
                        for field in data_type.expressions]
    return False


def _is_unordered(data_type):
    return data_type is not None and data_type.is_type(exp.DataType.Type.ARRAY, exp.DataType.Type.STRUCT)


def _is_integer(data_type):
    return data_type is not None and data_type.is_type(*exp.DataType.INTEGER_TYPES)


def type_faults(tree, schema=None):
    """Faults that need the values' types, as sqlglot infers them through the
    statement's WITH clauses and literals: BigQuery compares, groups and tells
    apart no ARRAY (nor a STRUCT holding one), orders no ARRAY or STRUCT (in
    MAX, MIN or an ORDER BY), and its FLOOR, CEIL, ROUND and
    TRUNC take an INT64 as a FLOAT64, rounding it past 2^53. A value of a table
    the statement does not define is of no known type and passes, unless
    `schema` gives its columns' types (by the table's name in lower case)."""
    tree = tree.copy()
    try:
        tree = qualify(tree, dialect="bigquery", schema=schema, validate_qualify_columns=False, identify=False)
    except (OptimizeError, ValueError, KeyError):
        pass
    annotate_types(tree, dialect="bigquery", schema=schema)
    faults = []
    for node in tree.walk():
        if isinstance(node, (exp.EQ, exp.NEQ)) and (_holds_array(node.left.type) or _holds_array(node.right.type)):
            faults.append(f"{node.key.upper()}: an ARRAY compared, which BigQuery does not compare: {node.sql('bigquery')}")
        elif isinstance(node, exp.Group):
            for key in node.expressions:
                if _holds_array(key.type):
                    faults.append(f"GROUP BY: an ARRAY, which BigQuery does not group: {key.sql('bigquery')}")
        elif isinstance(node, exp.Select) and node.args.get("distinct"):
            for column in node.expressions:
                if _holds_array(column.type):
                    faults.append(f"SELECT DISTINCT: an ARRAY, which BigQuery does not tell apart: "
                                  f"{column.sql('bigquery')}")
        elif isinstance(node, (exp.Max, exp.Min)) and _is_unordered(node.this.type):
            faults.append(f"{node.sql_name()}: an ARRAY or a STRUCT, which BigQuery does not order: "
                          f"{node.sql('bigquery')}")
        elif isinstance(node, exp.Ordered) and _is_unordered(node.this.type):
            faults.append(f"ORDER BY: an ARRAY or a STRUCT, which BigQuery does not order: {node.sql('bigquery')}")
        elif isinstance(node, (exp.Except, exp.Intersect)) or (isinstance(node, exp.Union) and
                                                                node.args.get("distinct")):
            for column in node.left.selects if isinstance(node.left, exp.Query) else []:
                if _holds_array(column.type):
                    faults.append(f"{node.key.upper()} DISTINCT: an ARRAY, which BigQuery does not tell apart: "
                                  f"{column.sql('bigquery')}")
        elif isinstance(node, exp.In) and _holds_array(node.this.type):
            faults.append(f"IN: an ARRAY sought, which BigQuery does not compare: {node.sql('bigquery')}")
        elif isinstance(node, exp.Distinct) and isinstance(node.parent, exp.AggFunc):
            for value in node.expressions:
                if _holds_array(value.type):
                    faults.append(f"{node.parent.sql_name()}: DISTINCT of an ARRAY, which BigQuery does not tell "
                                  f"apart: {value.sql('bigquery')}")
        elif isinstance(node, (exp.Floor, exp.Ceil, exp.Round, getattr(exp, "Trunc", exp.Floor))) or (
                isinstance(node, exp.Anonymous) and node.name.upper() in ROUNDING):
            argument = node.this if not isinstance(node, exp.Anonymous) else (node.expressions or [None])[0]
            # Compared, it is a BOOL: no FLOAT64 passes, and a whole INT64 equals its FLOOR as a FLOAT64 too.
            compared = isinstance(node.parent, (exp.EQ, exp.NEQ, exp.GT, exp.GTE, exp.LT, exp.LTE))
            if argument is not None and _is_integer(argument.type) and not compared:
                faults.append(f"{node.sql_name()}: an INT64 rounded, which BigQuery gives as a FLOAT64: "
                              f"{node.sql('bigquery')}")
    return faults


def plan_faults(statements):
    """type_faults of each statement of a plan, in order, each reading the
    tables the CREATE TABLE ... AS statements before it made with the types
    of their columns."""
    schema, faults = {}, []
    for sql in statements:
        tree = sqlglot.parse_one(sql, read="bigquery")
        faults += type_faults(tree, schema)
        if isinstance(tree, exp.Create) and isinstance(tree.expression, exp.Query):
            query = tree.expression.copy()
            try:
                query = qualify(query, dialect="bigquery", schema=schema, validate_qualify_columns=False,
                                identify=False)
            except (OptimizeError, ValueError, KeyError):
                pass
            annotate_types(query, dialect="bigquery", schema=schema)
            schema[tree.this.find(exp.Table).name.lower()] = {column.alias_or_name: column.type.sql("bigquery")
                                              for column in query.selects}
    return faults
