"""Correct programs, written as the verifier asks (named fields, @Recursive on
every recursion, complete front matter), must pass check without a word; check
reads the program and nothing else, so compile gives the same SQL after it."""

import pathlib
import re
import textwrap

import pytest

import mirtova


def program(name, description, order_by, body):
    return (f"---\nname: {name}\ndescription: {description}\n---\n"
            f"@OrderBy({name}, {order_by});\n" + textwrap.dedent(body))


# Imported by the programs that import: (path under the import root, text).
LIBRARY = {
    "hr/people.l": """\
        Person(name: "ada", age: 36, city: "london");
        Person(name: "alan", age: 41, city: "manchester");
        Person(name: "grace", age: 17, city: "new york");
        Adult(name:, age:) :- Person(name:, age:), age >= 18;
        """,
    "geo/roads.l": """\
        Road(from: "a", to: "b", km: 4);
        Road(from: "b", to: "c", km: 7);
        Road(from: "c", to: "d", km: 2);
        """,
}

# (id, source, predicate compiled beside the check)
PROGRAMS = [
    ("join of two facts", program("Grandparent", "who is whose grandparent", '"grandparent"', """\
        Parent(parent: "Ada", child: "Byron");
        Parent(parent: "Byron", child: "Cleo");
        Grandparent(grandparent:, grandchild:) :-
          Parent(parent: grandparent, child: p), Parent(parent: p, child: grandchild);
        """), "Grandparent"),
    ("join of tables", program("OrderLine", "orders with the customer who placed them", '"order_id"', """\
        OrderLine(order_id:, customer:, city:, amount:) :-
          shop.orders(id: order_id, customer_id: c, amount:),
          shop.customers(id: c, name: customer, city:);
        """), "OrderLine"),
    ("sum per group", program("Revenue", "revenue of each customer", '"customer"', """\
        Revenue(customer:, total? += amount) distinct :- shop.orders(customer_id: customer, amount:);
        """), "Revenue"),
    ("count, max and min", program("CityStats", "people per city with the oldest and youngest age",
                                   '"city"', """\
        Person(name: "ada", age: 36, city: "london");
        Person(name: "bob", age: 25, city: "london");
        Person(name: "eve", age: 52, city: "paris");
        CityStats(city:, people? Count= name, oldest? Max= age, youngest? Min= age) distinct :-
          Person(name:, age:, city:);
        """), "CityStats"),
    ("negation of a table", program("Idle", "customers who never ordered", '"name"', """\
        Idle(name:) :- shop.customers(id: c, name:), ~shop.orders(customer_id: c);
        """), "Idle"),
    ("negation of a derived predicate", program("Quiet", "accounts with no large payment", '"account"', """\
        Account(account: "a1");
        Account(account: "a2");
        Payment(account: "a1", amount: 900);
        Payment(account: "a2", amount: 20);
        Large(account:) :- Payment(account:, amount:), amount > 500;
        Quiet(account:) :- Account(account:), ~Large(account:);
        """), "Quiet"),
    ("transitive closure", program("Reach", "which node reaches which", '"source"', """\
        @Recursive(Reach, 8);
        Edge(source: 1, target: 2);
        Edge(source: 2, target: 3);
        Edge(source: 3, target: 4);
        Reach(source:, target:) distinct :- Edge(source:, target:);
        Reach(source:, target:) distinct :- Reach(source:, target: middle), Edge(source: middle, target:);
        """), "Reach"),
    ("shortest distance", program("Distance", "the fewest steps from the start to each node", '"node"', """\
        @Recursive(Distance, 12);
        Edge(source: "s", target: "a");
        Edge(source: "a", target: "b");
        Edge(source: "s", target: "b");
        Distance(node: "s", steps? Min= 0) distinct;
        Distance(node:, steps? Min= d + 1) distinct :- Distance(node: prior, steps: d), Edge(source: prior, target: node);
        """), "Distance"),
    ("recursion over a table, until nothing changes", program(
        "Ancestor", "everyone's ancestors", '"person", "ancestor"', """\
        @Recursive(Ancestor, \u221e);
        Ancestor(person:, ancestor:) distinct :- family.parents(child: person, parent: ancestor);
        Ancestor(person:, ancestor:) distinct :-
          Ancestor(person:, ancestor: between), family.parents(child: between, parent: ancestor);
        """), "Ancestor"),
    ("mutual recursion", program("Even", "the even numbers below ten", '"n"', """\
        @Recursive(Even, 10);
        @Recursive(Odd, 10);
        Even(n: 0) distinct;
        Odd(n:) distinct :- Even(n: m), n == m + 1, n < 10;
        Even(n:) distinct :- Odd(n: m), n == m + 1, n < 10;
        """), "Even"),
    ("functor on a predicate", program("Picked", "the small numbers above one", '"x"', """\
        Number(x: 1);
        Number(x: 5);
        Number(x: 9);
        Small(x:) :- Number(x:), x < 8;
        Above(x:) :- Candidate(x:), x > 1;
        Candidate(x:) :- Number(x:);
        Picked := Above(Candidate: Small);
        """), "Picked"),
    ("functor with a constant", program("Over", "numbers over seven", '"x"', """\
        Number(x: 3);
        Number(x: 12);
        Bound() = 0;
        Above(x:) :- Number(x:), x > Bound();
        Over := Above(Bound: 7);
        """), "Over"),
    ("functor of a recursion", program("FromA", "the places reachable from a", '"place"', """\
        @Recursive(Reachable, 6);
        Link(from: "a", to: "b");
        Link(from: "b", to: "c");
        Start(place: "z");
        StartA(place: "a");
        Reachable(place:) distinct :- Start(place:);
        Reachable(place:) distinct :- Reachable(place: p), Link(from: p, to: place);
        FromA := Reachable(Start: StartA);
        """), "FromA"),
    ("import", program("Voter", "adults who may vote", '"name"', """\
        import hr.people.Adult;
        Voter(name:) :- Adult(name:, age:), age >= 18;
        """), "Voter"),
    ("import under another name", program("Trip", "roads joined into two-leg trips", '"start"', """\
        import geo.roads.Road as Leg;
        Trip(start:, end:, km:) :- Leg(from: start, to: middle, km: k1), Leg(from: middle, to: end, km: k2),
          km == k1 + k2;
        """), "Trip"),
    ("flags", program("Local", "people of the chosen city", '"name"', """\
        @DefineFlag("city", "london");
        Person(name: "ada", city: "london");
        Person(name: "eve", city: "paris");
        Local(name:) :- Person(name:, city:), city == FlagValue("city");
        """), "Local"),
    ("functions", program("Priced", "prices with tax", '"item"', """\
        WithTax(x) = x * 1.2;
        Rounded(x) --> Round(x);
        Item(item: "pen", price: 2);
        Item(item: "book", price: 15);
        Priced(item:, gross:) :- Item(item:, price:), gross == Rounded(WithTax(price));
        """), "Priced"),
    ("alternatives", program("Extreme", "readings far from the middle", '"reading"', """\
        Sensor(reading: 2);
        Sensor(reading: 50);
        Sensor(reading: 97);
        Extreme(reading:) :- Sensor(reading:), (reading < 10 | reading > 90);
        """), "Extreme"),
    ("bounds that meet without contradicting", program(
        "Exact", "readings held between equal bounds", '"reading"', """\
        Sensor(reading: 1);
        Sensor(reading: 4);
        Exact(reading:) :- Sensor(reading:), reading >= 1, reading <= 1.0, reading == 1;
        Between(low:, high:) :- Sensor(reading: low), Sensor(reading: high), low <= high, high <= low;
        """), "Exact"),
    ("combine", program("AboveAverage", "readings above the average", '"reading"', """\
        Sensor(reading: 2);
        Sensor(reading: 8);
        AboveAverage(reading:) :- Sensor(reading:), reading > Avg{r :- Sensor(reading: r)};
        """), "AboveAverage"),
    ("directives", program("Recent", "the latest events first", '"day desc"', """\
        @Limit(Recent, 10);
        @Ground(Daily);
        Daily(day:, events? Count= id) distinct :- logs.events(id:, day:);
        Recent(day:, events:) :- Daily(day:, events:);
        """), "Recent"),
    ("lists and inclusion", program("Tagged", "items with each of their tags", '"item", "tag"', """\
        Item(item: "pen", tags: ["office", "cheap"]);
        Item(item: "lamp", tags: ["home"]);
        Tagged(item:, tag:) :- Item(item:, tags:), tag in tags;
        Known(tag:) :- tag in ["office", "home"];
        """), "Tagged"),
    ("if then else and text", program("Label", "each person's age group", '"name"', """\
        Person(name: "ada", age: 36);
        Person(name: "tim", age: 9);
        Label(name: Upper(name), group:) :-
          Person(name:, age:), group == (if age < 18 then "child" else "adult");
        """), "Label"),
    ("records", program("Card", "a card per person", '"name"', """\
        Person(name: "ada", age: 36);
        Card(name:, card: {name:, age:}) :- Person(name:, age:);
        Old(name:) :- Card(name:, card:), card.age > 30;
        """), "Card"),
    ("multi-body aggregation and ArgMax", program("Best", "the top seller of each region", '"region"', """\
        Sale(region: "north", seller: "ann", amount: 5);
        Sale(region: "south", seller: "bo", amount: 9);
        Total(region:, seller:, amount? += amount) distinct :- Sale(region:, seller:, amount:);
        Total(region:, seller:, amount? += 0) distinct :- sales.archive(region:, seller:);
        Best(region:, seller? ArgMax= s -> amount) distinct :- Total(region:, seller: s, amount:);
        """), "Best"),
]


@pytest.fixture(scope="module")
def import_root(tmp_path_factory):
    root = tmp_path_factory.mktemp("library")
    for path, text in LIBRARY.items():
        (root / path).parent.mkdir(parents=True, exist_ok=True)
        (root / path).write_text(textwrap.dedent(text))
    return [str(root)]


def test_the_table_holds_twenty_five_programs():
    assert len(PROGRAMS) == 25 and len({p[0] for p in PROGRAMS}) == 25


def built(source, predicate, import_root):
    """The plan of the predicate, and its SQL as one script where a script can
    hold it (a recursion until nothing changes runs only as a plan)."""
    steps = mirtova.plan(source, predicate, import_root=import_root)
    if "\u221e" in source:
        return steps, None
    return steps, mirtova.compile(source, predicate, import_root=import_root)


@pytest.mark.parametrize("source, predicate", [p[1:] for p in PROGRAMS], ids=[p[0] for p in PROGRAMS])
def test_a_correct_program_checks_clean(source, predicate, import_root, capfd):
    before = built(source, predicate, import_root)
    assert mirtova.check(source, import_root=import_root) == ([], [])
    assert built(source, predicate, import_root) == before
    out, err = capfd.readouterr()
    assert out == "" and err == ""


def test_check_leaves_compile_alone_and_stays_quiet(capfd):
    # The functor check runs the compiler's unfolding and application on copies
    # of the rules: a program with both, checked between two compiles.
    source = dict((p[0], p[1]) for p in PROGRAMS)["functor of a recursion"]
    first = mirtova.compile(source, "FromA", engine="sqlite")
    everything = mirtova.compile_all(source)
    for _ in range(2):
        assert mirtova.check(source) == ([], [])
    assert mirtova.compile(source, "FromA", engine="sqlite") == first
    assert mirtova.compile_all(source) == everything
    out, err = capfd.readouterr()
    assert out == "" and err == ""


def test_findings_of_the_late_checks_as_the_host_sees_them():
    source = textwrap.dedent("""\
        @Limit(P, -1);
        @Recursive(Walk, 0);
        P(a: x) :- P(a: x);
        Q(x:) :- Base(x:), x > 5, x < 3;
        Base(x: 1);
        A := P(Z: C);
        Walk(x:) :- Base(x:);
        Walk(x:) :- Walk(x: y), x == y + 1, x < FlagValue("top");
        """)
    errors, warnings = mirtova.check(source)
    assert errors == [
        "Recursive predicate 'P' has no base case",
        "Trivial infinite loop: 'P' calls itself with same arguments",
        "Recursive predicate 'P' missing @Recursive annotation",
        "Functor A names 'C', which the program does not define.",
        "Undefined flag 'top': define it with @DefineFlag(\"top\", value)",
        "@Limit(P): the limit must be a whole number of rows, 0 or more",
        "@Recursive(Walk): the depth is a whole number of steps, 1 or more, or -1 to recurse until nothing changes",
    ]
    assert warnings == [
        "Contradictory conditions: x > 5, x < 3 can never all hold, so the rule gives no row: "
        "Q(x:) :- Base(x:), x > 5, x < 3"]


def test_a_refused_application_reads_as_the_compile_error():
    source = "B(x:) :- P(x:); P(x: 1); C(x: 2); A := B(Q: C); R(x:) :- A(x:);"
    message = "Functor B is applied to Q, which it does not depend on."
    with pytest.raises(ValueError) as refused:
        mirtova.compile(source, "R")
    assert message in str(refused.value)
    assert mirtova.check(source) == ([message], [])


REPOSITORY = pathlib.Path(__file__).resolve().parents[2]


def documented_programs():
    """The programs a reader meets first: the README's program blocks, the
    sources its Python blocks write out, and the files of examples/."""
    text = (REPOSITORY / "README.md").read_text()
    found = []
    for language, block in re.findall(r"^```(\w*)\n(.*?)^```", text, re.S | re.M):
        if language == "":
            found.append(("README", block))
        elif language == "python":
            found += [("README", source) for source in re.findall(r'source = """(.*?)"""', block, re.S)]
    found += [(path.name, path.read_text()) for path in sorted((REPOSITORY / "examples").glob("*.l"))]
    return found


DOCUMENTED = documented_programs()


def test_the_documentation_holds_programs():
    assert [where for where, _ in DOCUMENTED] == ["README", "README", "hello.l"]


@pytest.mark.parametrize("source", [source for _, source in DOCUMENTED])
def test_a_documented_program_checks_clean_and_compiles(source):
    assert mirtova.check(source) == ([], [])
    assert mirtova.compile_all(source)
    assert [r["status"] for r in mirtova.assertions(source)] in ([], ["unchecked", "unchecked"])


# Programs as users write them without front matter: every kind of statement,
# built-in and directive the compiler takes. (id, source, predicate compiled)
PLAIN = [
    ("nested records", """
        Person(name: "ada", address: {city: "london", zip: {code: "N1"}});
        Zip(name:, code:) :- Person(name:, address:), code == address.zip.code;
        """, "Zip"),
    ("a record built in the head", """
        Item(sku: "a", price: 3, qty: 2);
        Line(line: {sku:, total: price * qty}) :- Item(sku:, price:, qty:);
        """, "Line"),
    ("list size and element", """
        Basket(owner: "ada", items: [3, 4, 5]);
        Stats(owner:, n:, first:) :- Basket(owner:, items:), n == Size(items), first == Element(items, 0);
        """, "Stats"),
    ("a whole row passed on by a rest field", """
        Person(name: "ada", age: 36);
        Copy(..r) :- Person(..r);
        Name(name:) :- Copy(name:);
        """, "Name"),
    ("ordered by a column of the row a rest field passes on", """
        Person(name: "ada", age: 36);
        Person(name: "alan", age: 41);
        @OrderBy(Copy, "name");
        Copy(..r) :- Person(..r);
        """, "Copy"),
    ("a fact and a row passed on, as rules of one predicate", """
        Person(name: "ada", age: 36);
        Copy(name: "bob", age: 7);
        Copy(..r) :- Person(..r);
        """, "Copy"),
    ("a negation holding an aggregation of its own", """
        P(x: 1);
        P(x: 2);
        R(x: 2, y: 5);
        Q(x:) :- P(x:), ~(P(x:), n == Count{y :- R(x:, y:)}, n > 0);
        """, "Q"),
    ("functions of functions", """
        Sq(x) = x * x;
        SumSq(a, b) = Sq(a) + Sq(b);
        Pi() = 3.14159;
        Pt(x: 1, y: 2);
        Norm(n:, area:) :- Pt(x:, y:), n == SumSq(x, y), area == Pi() * n;
        """, "Norm"),
    ("a function with a body, called with a named argument", """
        Rate(currency: "eur", rate: 1.1);
        ToUsd(amount, currency) = amount * rate :- Rate(currency:, rate:);
        Fee(amount:) = amount * 0.1;
        Price(p: 10, c: "eur");
        Usd(u:, f:) :- Price(p:, c:), u == ToUsd(p, c), f == Fee(amount: p);
        """, "Usd"),
    ("a functor with two arguments", """
        Nums(x: 1); Nums(x: 7); Nums(x: 12);
        Low() = 0;
        High() = 10;
        Src(x:) :- Nums(x:);
        Within(x:) :- Src(x:), x > Low(), x < High();
        Evens(x:) :- Nums(x:), x % 2 == 0;
        EvenSmall := Within(Src: Evens, High: 100);
        @OrderBy(EvenSmall, "x");
        @Limit(EvenSmall, 5);
        """, "EvenSmall"),
    ("import under another name", """
        import hr.people.Adult as Grown;
        Named(name:) :- Grown(name:, age:), age > 30;
        """, "Named"),
    ("mutual recursion", """
        @Recursive(Ping, 6);
        @Recursive(Pong, 6);
        Ping(n: 0);
        Pong(n:) :- Ping(n: m), n == m + 1, n < 6;
        Ping(n:) :- Pong(n: m), n == m + 1, n < 6;
        """, "Ping"),
    ("negation of an aggregate", """
        Order(customer: "a", amount: 50);
        Order(customer: "b", amount: 5);
        Customer(customer: "a"); Customer(customer: "b");
        Total(customer:, total? += amount) distinct :- Order(customer:, amount:);
        Small(customer:) :- Customer(customer:), ~(Total(customer:, total:), total > 10);
        Sparse(customer:) :- Customer(customer:), Count{a :- Order(customer:, amount: a)} < 2;
        """, "Small"),
    ("a negation with a wildcard", """
        P(x: 1); Q(x: 1, y: 2);
        R(x:) :- P(x:), ~Q(x:, y: _), ~(x > 2), x != 3;
        """, "R"),
    ("distinct aggregation over several rules", """
        Sale(shop: "x", amount: 3);
        Refund(shop: "x", amount: 1);
        Net(shop:, net? += amount, top? Max= amount) distinct :- Sale(shop:, amount:);
        Net(shop:, net? += -amount, top? Max= amount) distinct :- Refund(shop:, amount:);
        """, "Net"),
    ("an aggregating function", """
        Top2(x) = ArgMaxK(x, 2);
        Sc(p: "a", s: 1); Sc(p: "b", s: 5);
        Best(best? Top2= p -> s, cheapest? ArgMin= p -> s, n? Count= p) distinct :- Sc(p:, s:);
        """, "Best"),
    ("ground and iteration", """
        @Ground(Cur); Cur(v: 0);
        @Ground(Next, Nxt);
        Next(v:) :- Cur(v: x), v == x + 1;
        @Ground(Again, Cur);
        Again(v:) :- Next(v: x), v == 2 * x;
        @Iteration(Doubling, predicates: [Next, Again], repetitions: 3);
        Result(v:) :- Again(v:);
        """, "Result"),
    ("flags with defaults", """
        @DefineFlag("min_age", 18);
        @DefineFlag("city", "london");
        Person(name: "ada", age: 36, city: "london");
        Pick(name:) :- Person(name:, age:, city:), age >= ToInt64(FlagValue("min_age")), city == FlagValue("city");
        """, "Pick"),
    ("text, pattern and date built-ins", """
        Word(w: "  ada@example.com ", day: "2024-03-01");
        Clean(c:, n:, up:, d:, next:) :- Word(w:, day:), c == Trim(w), n == Length(c), up == Upper(Substr(c, 1, 3)),
          RegexpContains(c, "@"), d == RegexpExtract(c, "@(.*)"), next == DateAdd(Date(day), 1, "MONTH");
        """, "Clean"),
    ("number, list and null built-ins", """
        R(a: 2.5, b: null, xs: [3, 1]);
        S(v:, g:, t:, m:, ys:) :- R(a:, b:, xs:), v == Coalesce(b, a), g == Greatest(a, 5),
          t == If(a > 0, "pos", "neg"), m == Floor(a) + Ceil(a) + Abs(-a) + Pow(a, 2), ys == Sort(xs),
          IsNull(b);
        """, "S"),
    ("library functions", """
        Raw(s: "12");
        N(n:, back:, code:) :- Raw(s:), n == ToInt64(s), back == ToString(n), code == Ord("A");
        """, "N"),
    ("alternatives, inclusion and a combine in the head", """
        T(x: 1, tags: ["a"]); T(x: 9, tags: ["b"]);
        Edge(x:, tag:) :- T(x:, tags:), tag in tags, (x < 2 | x > 8);
        Deg(x:, d: Count{t :- T(x:, tags: t)}) :- T(x:);
        """, "Edge"),
    ("type annotations", """
        Reading(sensor: "a", value: 3, meta: {unit: "C"});
        Typed(sensor:, value:, meta:) :- Reading(sensor:, value:, meta:), sensor ~ Str, value ~ Num,
          meta ~ {unit: Str};
        """, "Typed"),
    ("table names and a dataset", """
        @Dataset("my-project.analytics");
        Big(id:) :- proj.sales.orders(id:, total:), total > 100, ~shop.refunds(order_id: id);
        """, "Big"),
    ("recursion options", """
        Edge(a: 1, b: 2); Edge(a: 2, b: 3);
        @Recursive(Reach, 20, stop: Done);
        Reach(a:, b:) distinct :- Edge(a:, b:);
        Reach(a:, b:) distinct :- Reach(a:, b: m), Edge(a: m, b:);
        Done() :- Reach(a: 1, b: 3);
        @Recursive(Back, stop: Done, ignition: 5);
        Back(a:, b:) distinct :- Edge(a: b, b: a);
        Back(a:, b:) distinct :- Back(a:, b: m), Edge(a: b, b: m);
        Both(a:, b:) :- Reach(a:, b:), Back(a: b, b: a);
        """, "Both"),
    ("combines reading the rule around them", """
        Sale(shop: "x", amount: 3, day: 1);
        Shop(shop: "x");
        F(s) = Sum{a :- Sale(shop: s, amount: a)};
        Busy(shop:, n:) :- Shop(shop:), n == Count{d :- Sale(shop:, day: d), d > Min{e :- Sale(shop:, day: e)}},
          F(shop) > 1;
        """, "Busy"),
]


@pytest.mark.parametrize("source, predicate", [p[1:] for p in PLAIN], ids=[p[0] for p in PLAIN])
def test_a_plain_correct_program_checks_clean(source, predicate, import_root):
    source = textwrap.dedent(source)
    before = built(source, predicate, import_root)
    assert mirtova.check(source, import_root=import_root) == ([], [])
    assert built(source, predicate, import_root) == before


# The mistakes users make, one program each, and exactly what check says.
def unbound_tested(name, rule):
    return f"Unbound variable '{name}': it is tested (compared, negated, matched) but never given a value in: {rule}"


MISTAKES = [
    ("a misspelt predicate", 'Person(name: "a", age: 3); Adult(name:) :- Persn(name:, age:), age > 18;',
     ["Undefined predicate 'Persn': not defined and not a built-in \u2014 did you mean 'Person'?"], []),
    ("a misspelt function", 'Person(name: "a"); Loud(name:) :- Person(name:), Uper(name) == "A";',
     ["Undefined function 'Uper': not defined and not a built-in \u2014 did you mean 'Upper'?"], []),
    ("a misspelt column", 'Person(name: "a", age: 3); Adult(name:) :- Person(name:, agee: age), age > 18;',
     ["Unknown column 'agee' for predicate 'Person'"], []),
    ("rules of two arities", 'Person(name: "a", age: 3); Person(name: "b"); Adult(name:) :- Person(name:);',
     ["Predicate 'Person' defined with inconsistent arities: 2 and 1"], []),
    ("a variable only compared", 'Person(name: "a", age: 3); Adult(name:) :- Person(name:), age > 18;',
     [unbound_tested("age", "Adult(name:) :- Person(name:), age > 18")], []),
    ("a variable only negated", "P(x: 1); Q(x: 1, y: 2); R(x:) :- P(x:), ~Q(x:, y:);",
     ["Unsafe negation: variable 'y' only appears negated in: R(x:) :- P(x:), ~Q(x:, y:)"], []),
    ("a game of negation", "Move(x: 1, y: 2); Win(x:) :- Move(x:, y:), ~Win(x: y);",
     ["Negative recursion cycle detected: Win", "Recursive predicate 'Win' missing @Recursive annotation"], []),
    ("a closure without @Recursive",
     "Edge(a: 1, b: 2); Path(a:, b:) :- Edge(a:, b:); Path(a:, b:) :- Path(a:, b: m), Edge(a: m, b:);",
     ["Recursive predicate 'Path' missing @Recursive annotation"], []),
    ("directives about nothing and out of range",
     '@Limit(Top, 10); @OrderBy(P, "y desc"); @Recursive(P, 0, 1); @Dataset("..bad"); P(x: 1);',
     ["@Limit(Top) is about 'Top', which the program does not define",
      "@OrderBy(P): 'P' has no column 'y' (its columns: x)",
      "@Recursive(P): takes the predicate and its depth only",
      "@Dataset: '..bad' is not a schema name: write names of letters, digits, '_' and '-', joined by '.'"], []),
    ("a flag never defined", 'Q(x: "a"); P(x:) :- Q(x:), x == FlagValue("mode");',
     ["Undefined flag 'mode': define it with @DefineFlag(\"mode\", value)"], []),
    ("an aggregate in a condition and a function as one", "F(x) = x > 1; P(x: 1); Q(x:) :- P(x:), Sum(x) > 3, F(x);",
     ["'F' is a function: as a condition, F(...) holds whatever its value; compare its value (F(...) == true) in: "
      "Q(x:) :- P(x:), Sum(x) > 3, F(x)",
      "'Sum' is an aggregate: aggregate in a head with distinct (`n? Sum= x`) or in a combine "
      "(`(combine Sum= x :- ...)`), in: Q(x:) :- P(x:), Sum(x) > 3, F(x)"], []),
    ("conditions that cannot meet, in every alternative",
     "P(x: 1); Q(x:) :- P(x:), x == 2, x == 3 | P(x:), x > 5, x < 4;", [],
     ["Contradictory conditions: x == 2, x == 3, x > 5, x < 4 can never all hold, so the rule gives no row: "
      "Q(x:) :- P(x:), x == 2, x == 3 | P(x:), x > 5, x < 4"]),
    ("assertions: broken, repeated and uncheckable",
     'P(x: 1); @Assert(P, a: "\u2200 x, P x \u2192 ", b: "\u2200 x y, P x \u2192 y > 0");'
     ' @Assert(P, b: "\u2203 x, P x");',
     ["Invalid assertion 'P.a': expected a formula, found the end of the statement (at character 12)",
      "Duplicate assertion 'P.b': it is stated more than once"],
     ["Assertion 'P.b' cannot be checked: variable 'y' is not bound by a predicate, so it has no values to check"]),
    ("an option the recursion does not know", "P(x: 1); @Recursive(P, 3, fuel: 4); @Recursive(P, fuel: 4);",
     ["@Recursive(P): takes the predicate and its depth only"] * 2, []),
    ("a self-call that never ends", "Loop(x:) :- Loop(x:);",
     ["Recursive predicate 'Loop' has no base case", "Trivial infinite loop: 'Loop' calls itself with same arguments",
      "Recursive predicate 'Loop' missing @Recursive annotation"], []),
    # Compile refuses both at their call, in words that name the caller's variable or the column;
    # and K itself, whose copy of Keep reads P by the column v.
    ("a made predicate read by a column its maker lacks",
     "P(x: 1); Keep(v:) :- Src(v:); Src(v: 0); K := Keep(Src: P); Q(x:) :- K(w: x);",
     ["Unknown column 'w' for predicate 'K'", "Predicate 'P' has no column 'v'."], []),
    ("mistakes of a rule with alternatives, told once",
     "P(x: 1); C(a: 1); Q(x:) :- Q(x:), P(zz: x), ~C(a: w), (P(x:) | C(a: x));",
     ["Unsafe negation: variable 'w' only appears negated in: Q(x:) :- Q(x:), P(zz: x), ~C(a: w), (P(x:) | C(a: x))",
      "Unknown column 'zz' for predicate 'P'", "Recursive predicate 'Q' has no base case",
      "Trivial infinite loop: 'Q' calls itself with same arguments",
      "Recursive predicate 'Q' missing @Recursive annotation"], []),
]


@pytest.mark.parametrize("source, errors, warnings", [m[1:] for m in MISTAKES], ids=[m[0] for m in MISTAKES])
def test_a_mistake_gets_its_message(source, errors, warnings):
    assert mirtova.check(source) == (errors, warnings)


# Programs compile refuses: check reports them as errors, in compile's words.
# (id, source, predicate compiled, message)
REFUSED = [
    ("an engine misspelt", '@Engine("duckbd"); P(x: 1);', "P",
     "Unsupported engine 'duckbd'. Supported engines: bigquery, sqlite, psql, trino, presto, databricks, duckdb."),
    ("an engine not named by a text", "@Engine(5); P(x: 1);", "P",
     '@Engine needs the engine\'s name as a text, as in @Engine("duckdb")'),
    ("a variable of a combine that nothing binds", "P(x: 1); Q(s:) :- P(x:), s == Sum{y :- P(x: z)};", "Q",
     "Variable 'y' is not given a value in this rule: bind it with a predicate, an equality or an inclusion."),
    ("a variable only tested in a combine inside a combine",
     "P(x: 1); Q(s:) :- P(x:), s == Sum{z :- P(x: z), z > Max{w :- P(x: v)}};", "Q",
     "Variable 'w' is not given a value in this rule: bind it with a predicate, an equality or an inclusion."),
    ("a variable only tested in a negation inside a combine",
     "P(x: 1); C(a: 1); Q(s:) :- P(x:), s == Count{z :- P(x: z), ~(C(a: z), w > 1)};", "Q",
     "Variable 'w' is not given a value in this rule: bind it with a predicate, an equality or an inclusion."),
    ("a variable only tested in a combine passed to a predicate",
     "P(x: 1); Q(x:) :- P(x: Count{z :- P(x: z), w > 1}), P(x:);", "Q",
     "Variable 'w' is not given a value in this rule: bind it with a predicate, an equality or an inclusion."),
    ("a variable read only in an argument's expression", "P(x: 1); Q(y:) :- P(x: y + 1);", "Q",
     "Variable 'y' is not given a value in this rule: bind it with a predicate, an equality or an inclusion."),
    ("a variable read only in a record argument", "R(r: {a: 1}); Q(y:) :- R(r: {a: y});", "Q",
     "Variable 'y' is not given a value in this rule: bind it with a predicate, an equality or an inclusion."),
    ("a variable read only in a record equality", "P(x: 1); Q(y:) :- P(x:), {a: y} == {a: x};", "Q",
     "Variable 'y' is not given a value in this rule: bind it with a predicate, an equality or an inclusion."),
    ("a variable read only in a list equality", "P(x: 1); Q(x:) :- P(x:), [x, y] == [1, 2];", "Q",
     "Variable 'y' is not given a value in this rule: bind it with a predicate, an equality or an inclusion."),
    ("a variable read only in a branch of an if", "P(x: 1); Q(x:) :- P(x:), x == (if x > 1 then w else 2);", "Q",
     "Variable 'w' is not given a value in this rule: bind it with a predicate, an equality or an inclusion."),
    ("a variable equated with an expression of itself", "P(x: 1); Q(y:) :- P(x:), y == y + x;", "Q",
     "Variable 'y' is not given a value in this rule: bind it with a predicate, an equality or an inclusion."),
    ("a variable of a combine read only in an argument's expression",
     "P(x: 1); E(a: 1, b: 2); Q(s:) :- P(x:), s == Sum{b :- E(a: x + y, b:)};", "Q",
     "Variable 'y' is not given a value in this rule: bind it with a predicate, an equality or an inclusion."),
    ("a list of an inclusion that nothing binds", "P(x: 1); Q(x:) :- P(x:), x in l;", "Q",
     "Variable 'l' is not given a value in this rule: bind it with a predicate, an equality or an inclusion."),
    ("a list of an inclusion in a combine that nothing binds",
     "P(x: 1); Q(x:, n:) :- P(x:), n == Count{y :- P(x: y), y in Range(m)};", "Q",
     "Variable 'm' is not given a value in this rule: bind it with a predicate, an equality or an inclusion."),
    ("a record included in a list", "Q(y:) :- {a: y} in [{a: 1}];", "Q",
     "Variable 'y' is not given a value in this rule: bind it with a predicate, an equality or an inclusion."),
    # A record read only through its fields: in a condition, the head, an aggregate or a negation.
    ("a record read only through a field in a condition", "P(x: 1); Q(x:) :- P(x:), r.a.b > 1;", "Q",
     "Variable 'r' is not given a value in this rule: bind it with a predicate, an equality or an inclusion."),
    ("a record read only through a field in the head", "P(x: 1); Q(x:, v: r.a) :- P(x:);", "Q",
     "Variable 'r' is not given a value in this rule: bind it with a predicate, an equality or an inclusion."),
    ("a record read only through a field it aggregates", "P(x: 1); Q(x:, s? += r.a) distinct :- P(x:);", "Q",
     "Variable 'r' is not given a value in this rule: bind it with a predicate, an equality or an inclusion."),
    ("a record read only through a field in a negation", "P(x: 1); Q(x:) :- P(x:), ~(P(x: y), r.a > y);", "Q",
     "Variable 'r' is not given a value in this rule: bind it with a predicate, an equality or an inclusion."),
    ("the same unbound variable in two rules, told once", "P(x: 1); Q(y:) :- P(x: y + 1); R(y:) :- P(x: y * 2);",
     "Q", "Variable 'y' is not given a value in this rule: bind it with a predicate, an equality or an inclusion."),
    ("a function called without one of its named arguments",
     "P(x: 1); F(x:, y:) = x; Q(a:) :- P(x:), a == F(x:), a > F(x: 2);", "Q",
     "Function 'F' is called without a value for its argument 'y'."),
    ("a function with a body called without an argument it never reads",
     "P(x: 1); F(x:, y:) = z :- P(x: z), z > x; Q(a:) :- P(x:), a == F(x:);", "Q",
     "Function 'F' is called without a value for its argument 'y'."),
    ("a function without a body whose value reads a name no argument gives",
     "P(x: 1); F(a:) = {p: a, q: a + b}; Q(y:) :- P(x:), y == F(a: x);", "Q",
     "Variable 'b' is not given a value in this rule: bind it with a predicate, an equality or an inclusion."),
    ("a function of named arguments called with a numbered one",
     "P(x: 1); Twice(x:) = x * 2; Q(y:) :- P(x:), y == Count{z :- P(x: z), Twice(z) > 1};", "Q",
     "Predicate 'Twice' has no column 'col0'."),
    ("a number passed for a predicate read by its columns",
     "P(x: 1); A(x:) :- P(x:); @Make(B, A, {P: 5}); C(x:) :- B(x:);", "C",
     "Predicate 'QuorilCompilerConstant0' has no column 'x'."),
    ("Today called as a function", "P(x:) :- x == Today();", "P",
     "'Today' is neither a predicate of the program nor a built-in function"),
    ("a predicate called as a function", 'Person(name: "a"); P(d:) :- d == Person();', "P",
     "Predicate 'Person' has no value to use here: only a function (a predicate defined with \"=\") can stand "
     "where a value is expected."),
    ("rules naming other columns", "P(a: 1); P(b: 2);", "P", "Rules of predicate 'P' define different columns: a and b."),
    ("a rule naming columns after one passing a row on",
     'Person(name: "ada", age: 36); Copy(..r) :- Person(..r); Copy(name: "x", age: 1);', "Copy",
     "Rules of predicate 'Copy' define different columns: * and name, age."),
    ("a rest field after other fields of its call", 'Person(name: "a", age: 3); Q(name:) :- Person(name:, ..r);',
     "Q", "A rest field (..r) can only pass a whole row of one call on to the head."),
    ("a rest field of a row taken already",
     'Person(name: "a"); Gone(name: "b"); Q(..r) :- Person(..r), ~Gone(..r);', "Q",
     "A rest field (..r) can only pass a whole row of one call on to the head."),
    # A field read of a row is a column of the row's predicate, in the body or the head.
    ("a field a row's predicate lacks", 'Person(name: "a", age: 3); Q(..r) :- Person(..r), r.agee > 1;', "Q",
     "Predicate 'Person' has no column 'agee'."),
    ("a field a row's predicate lacks, read in the head", 'Person(name: "a"); Q(n: r.nme) :- Person(..r);', "Q",
     "Predicate 'Person' has no column 'nme'."),
    ("a field a row's predicate lacks, read in a combine", 'Person(name: "a"); Q(n:) :- Person(name: "a"), '
     "n == Count{1 :- Person(..r), r.nme > 1};", "Q", "Predicate 'Person' has no column 'nme'."),
    # A whole row has no value: it was written as T.*, which no engine reads.
    ("a rest field's row read as a head column", "T(x: 1); Q(y: r) :- T(..r);", "Q",
     "A rest field (..r) can only pass a whole row of one call on to the head."),
    ("a rest field's row compared", "T(x: 1); Q(..r) :- T(..r), y in [r], y == 1;", "Q",
     "A rest field (..r) can only pass a whole row of one call on to the head."),
    ("a rest field's row passed to a fact's column", "P(x: 1); U(x: 1); Q(..r) :- P(x: r), U(..r);", "Q",
     "A rest field (..r) can only pass a whole row of one call on to the head."),
    ("a predicate passed to a functor without a column its rules read",
     "P(y: 1); T(x: 1); S(x:) :- T(x:); W := S(T: P);", "W", "Predicate 'P' has no column 'x'."),
    ("an annotation without its predicate", "@NoInject(5); P(x: 1);", "P",
     "This annotation requires predicate symbol as the first positional argument."),
    ("an iteration without its predicates", "@Iteration(It, repetitions: 3); P(x: 1);", "P",
     "@Iteration(It): predicates must be a list of predicates and repetitions a whole number"),
    ("a ground table named by a text", '@Ground(Old, "old"); Old(n:) :- P(n:); P(n: 1);', "Old",
     "@Ground(Old): the second argument names the predicate whose table receives the rows, as in "
     "@Ground(Old, Other)"),
]


@pytest.mark.parametrize("source, predicate, message", [r[1:] for r in REFUSED], ids=[r[0] for r in REFUSED])
def test_check_reports_what_compile_refuses(source, predicate, message):
    with pytest.raises(ValueError) as refused:
        mirtova.compile(source, predicate)
    assert str(refused.value).endswith(message)
    assert mirtova.check(source) == ([message], [])
