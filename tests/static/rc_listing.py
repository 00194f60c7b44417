"""Reading the resource script that `windres -i EXE -O rc` prints.

Only the statements that windres emits are understood; anything else raises
ListingError, so a change in the listing shows up as a failure, not as a
silently skipped resource. Texts come back as Python strings whose code
points are the UTF-16 units stored in the exe (L"\\xNNNN" escapes decoded).
"""

import re

_TOKEN = re.compile(r"""
    (?P<space>\s+)
  | (?P<comment>/\*.*?\*/|//[^\n]*)
  | (?P<string>L?"(?:[^"\\]|\\.|"")*")
  | (?P<number>-?(?:0[xX][0-9a-fA-F]+|\d+)[lLuU]*)
  | (?P<ident>[A-Za-z_][A-Za-z0-9_]*)
  | (?P<punct>[,|+()])
""", re.VERBOSE | re.DOTALL)


class ListingError(Exception):
    """The listing holds something this reader does not understand."""


class Ordinal(int):
    """A resource reference by number where a text could stand."""

    def __repr__(self):
        return "ordinal %d" % int(self)


class Token:
    def __init__(self, kind, value, line):
        self.kind = kind
        self.value = value
        self.line = line

    def __repr__(self):
        return "%s %r (line %d)" % (self.kind, self.value, self.line)


def _decode_string(lit):
    wide = lit.startswith("L")
    body = lit[2:-1] if wide else lit[1:-1]
    max_hex = 4 if wide else 2
    out = []
    i = 0
    simple = {"a": 7, "b": 8, "f": 12, "n": 10, "r": 13, "t": 9, "v": 11,
              "\\": 92, "'": 39, '"': 34, "?": 63}
    while i < len(body):
        ch = body[i]
        if ch == '"':                  # "" stands for one quote
            out.append('"')
            i += 2
            continue
        if ch != "\\":
            out.append(ch)
            i += 1
            continue
        nxt = body[i + 1]
        if nxt in simple:
            out.append(chr(simple[nxt]))
            i += 2
        elif nxt in "xX":
            m = re.match(r"[0-9a-fA-F]{1,%d}" % max_hex, body[i + 2:])
            if not m:
                raise ListingError("bad \\x escape in %s" % lit)
            out.append(chr(int(m.group(0), 16)))
            i += 2 + len(m.group(0))
        elif nxt in "01234567":
            m = re.match(r"[0-7]{1,3}", body[i + 1:])
            out.append(chr(int(m.group(0), 8)))
            i += 1 + len(m.group(0))
        else:
            raise ListingError("unknown escape \\%s in %s" % (nxt, lit))
    return "".join(out)


def tokenize(text):
    tokens = []
    pos = 0
    line = 1
    while pos < len(text):
        m = _TOKEN.match(text, pos)
        if not m:
            raise ListingError("line %d: cannot read %r" % (line, text[pos:pos + 20]))
        kind = m.lastgroup
        raw = m.group(0)
        if kind == "string":
            tokens.append(Token("string", _decode_string(raw), line))
        elif kind == "number":
            tokens.append(Token("number", int(raw.rstrip("lLuU"), 0), line))
        elif kind == "ident":
            tokens.append(Token("ident", raw, line))
        elif kind == "punct":
            tokens.append(Token("punct", raw, line))
        line += raw.count("\n")
        pos = m.end()
    return tokens


class _Reader:
    def __init__(self, tokens):
        self.tokens = tokens
        self.i = 0

    def peek(self, ahead=0):
        j = self.i + ahead
        return self.tokens[j] if j < len(self.tokens) else None

    def next(self):
        tok = self.peek()
        if tok is None:
            raise ListingError("listing ends early")
        self.i += 1
        return tok

    def at(self, kind, value=None):
        tok = self.peek()
        return tok is not None and tok.kind == kind and (value is None or tok.value == value)

    def expect(self, kind, value=None):
        tok = self.next()
        if tok.kind != kind or (value is not None and tok.value != value):
            raise ListingError("expected %s %s, found %r" % (kind, value or "", tok))
        return tok

    def accept(self, kind, value=None):
        if self.at(kind, value):
            return self.next()
        return None

    def number_expr(self):
        """A number or numbers joined with | or +."""
        value = self.expect("number").value
        while self.at("punct", "|") or self.at("punct", "+"):
            self.next()
            value |= self.expect("number").value
        return value

    def text_or_ordinal(self):
        tok = self.next()
        if tok.kind == "string":
            return tok.value
        if tok.kind == "number":
            return Ordinal(tok.value)
        raise ListingError("expected a text or a number, found %r" % tok)

    def skip_block(self):
        """Skips from BEGIN to its END."""
        self.expect("ident", "BEGIN")
        depth = 1
        while depth:
            tok = self.next()
            if tok.kind == "ident" and tok.value == "BEGIN":
                depth += 1
            elif tok.kind == "ident" and tok.value == "END":
                depth -= 1


def _control(r):
    line = r.expect("ident", "CONTROL").line
    c = {"line": line}
    c["text"] = r.text_or_ordinal()
    r.expect("punct", ",")
    c["id"] = r.expect("number").value
    r.expect("punct", ",")
    cls = r.text_or_ordinal()
    c["class"] = cls.upper() if isinstance(cls, str) else cls
    r.expect("punct", ",")
    c["style"] = r.number_expr()
    for field in ("x", "y", "w", "h"):
        r.expect("punct", ",")
        c[field] = r.expect("number").value
    c["exstyle"] = 0
    c["helpid"] = 0
    if r.accept("punct", ","):
        c["exstyle"] = r.number_expr()
        if r.accept("punct", ","):
            c["helpid"] = r.number_expr()
    c["data"] = False
    if r.at("ident", "BEGIN"):
        r.skip_block()
        c["data"] = True
    return c


def _dialog(r, kind):
    d = {"kind": kind, "style": None, "exstyle": 0, "caption": None, "menu": None,
         "class": None, "font": None, "controls": []}
    d["x"] = r.expect("number").value
    for field in ("y", "w", "h"):
        r.expect("punct", ",")
        d[field] = r.expect("number").value
    if r.accept("punct", ","):
        d["helpid"] = r.number_expr()
    while not r.at("ident", "BEGIN"):
        word = r.expect("ident").value
        if word == "STYLE":
            d["style"] = r.number_expr()
        elif word == "EXSTYLE":
            d["exstyle"] = r.number_expr()
        elif word == "CAPTION":
            d["caption"] = r.expect("string").value
        elif word == "MENU":
            d["menu"] = r.text_or_ordinal()
        elif word == "CLASS":
            d["class"] = r.text_or_ordinal()
        elif word == "FONT":
            size = r.expect("number").value
            r.expect("punct", ",")
            face = r.expect("string").value
            rest = []
            while r.accept("punct", ","):
                rest.append(r.number_expr())
            d["font"] = (size, face) + tuple(rest)
        elif word in ("CHARACTERISTICS", "VERSION"):
            d[word.lower()] = r.number_expr()
        else:
            raise ListingError("unknown dialog statement %s" % word)
    r.expect("ident", "BEGIN")
    while not r.at("ident", "END"):
        if not r.at("ident", "CONTROL"):
            raise ListingError("unexpected %r among dialog controls" % r.peek())
        d["controls"].append(_control(r))
    r.expect("ident", "END")
    return d


def _menu_items(r):
    r.expect("ident", "BEGIN")
    items = []
    while not r.accept("ident", "END"):
        word = r.expect("ident").value
        if word == "POPUP":
            text = r.expect("string").value
            options = []
            while r.accept("punct", ","):
                options.append(r.next().value)
            items.append({"kind": "POPUP", "text": text, "options": options,
                          "items": _menu_items(r)})
        elif word == "MENUITEM":
            if r.accept("ident", "SEPARATOR"):
                items.append({"kind": "SEPARATOR"})
                continue
            text = r.expect("string").value
            r.expect("punct", ",")
            ident = r.expect("number").value
            options = []
            while r.accept("punct", ","):
                options.append(r.next().value)
            items.append({"kind": "MENUITEM", "text": text, "id": ident,
                          "options": options})
        else:
            raise ListingError("unknown menu statement %s" % word)
    return items


def parse(text):
    """Returns {(type, name): [resource, ...]} (one per language) where type
    is 'DIALOG', 'MENU' or the listing's type word or number. Every resource
    has 'lang', its language as the listing states it (primary | sublanguage
    << 10)."""
    r = _Reader(tokenize(text))
    lang = None
    out = {}
    while r.peek() is not None:
        if r.accept("ident", "LANGUAGE"):
            primary = r.expect("number").value
            r.expect("punct", ",")
            sub = r.expect("number").value
            lang = primary | (sub << 10)
            continue
        if r.accept("ident", "STRINGTABLE"):
            r.skip_block()
            continue
        name_tok = r.next()
        if name_tok.kind not in ("number", "ident", "string"):
            raise ListingError("unexpected %r at the top level" % name_tok)
        name = name_tok.value
        type_tok = r.next()
        type_key = type_tok.value
        if type_tok.kind == "ident" and type_key in ("DIALOG", "DIALOGEX"):
            res = _dialog(r, type_key)
            type_key = "DIALOG"
        elif type_tok.kind == "ident" and type_key in ("MENU", "MENUEX"):
            if type_key == "MENUEX":
                # items of a MENUEX are not read; the kind is enough to report
                r.skip_block()
                res = {"kind": "MENUEX", "items": []}
            else:
                res = {"kind": "MENU", "items": _menu_items(r)}
            type_key = "MENU"
        else:
            while not r.at("ident", "BEGIN"):
                r.next()
            r.skip_block()
            res = {"kind": type_tok.value}
        res["lang"] = lang
        res["line"] = name_tok.line
        out.setdefault((type_key, name), []).append(res)
    return out
