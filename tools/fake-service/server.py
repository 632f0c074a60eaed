#!/usr/bin/env python3
"""Local stand-in for the phone-intelligence service, for tests and demonstrations.

Answers POST /3.1/phone?api_key=KEY&phone=NUMBER over HTTPS on 127.0.0.1 with
answers shaped like the real service's, and with its error pages when KEY or
NUMBER is one of the trigger words or numbers listed in README.md.

Python 3 standard library only.
"""

import argparse
import email.utils
import hashlib
import http.server
import itertools
import json
import queue
import random
import signal
import socket
import ssl
import sys
import threading
import time

BIG_BODY_SIZE = 10 * 1024 * 1024
HANG_SECONDS = 120

# Trigger words (API key) and trigger numbers (phone) for the special answers.
# Either one selects the behaviour; the key is looked at first.
TRIGGERS = [
    ("quota-html", "4030000001"),
    ("quota-text", "4030000002"),
    ("gone", "4100000001"),
    ("invalid", "4010000001"),
    ("norecord", "4010000002"),
    ("empty", "2040000001"),
    ("slow", "5550000001"),
    ("hang", "5550000002"),
    ("drop", "5550000003"),
    ("big", "5550000004"),
    ("utf16", "5550000005"),
    ("utf8", "5550000006"),
    ("unavailable", "5030000001"),
    ("badgateway", "5020000001"),
    ("notfound", "4040000001"),
    ("cutoff", "5550000007"),
]
BY_KEY = {key: key for key, _ in TRIGGERS}
# Numbers that are valid phone numbers, sent in E.164 form ("+" encoded) as
# a contact table's are: the triggers above cannot all be valid numbers.
TRIGGERS_E164 = [
    ("slow", "%2B16172530001"),
    ("unavailable", "%2B16172530503"),
]
BY_PHONE = {phone: key for key, phone in TRIGGERS + TRIGGERS_E164}

# Error pages as the real service's gateway sends them. The line ends differ on
# purpose, so that clients meet both kinds.
QUOTA_HTML = (
    '<!DOCTYPE HTML PUBLIC "-//IETF//DTD HTML 2.0//EN">\n'
    "<html><head>\n"
    "<title>403 Developer Over Rate</title>\n"
    "</head><body>\n"
    "<h1>403 Developer Over Rate</h1>\n"
    "</body></html>\n"
)
GONE_HTML = (
    '<!DOCTYPE HTML PUBLIC "-//IETF//DTD HTML 2.0//EN">\r\n'
    "<html><head>\r\n"
    "<title>410 Gone</title>\r\n"
    "</head><body>\r\n"
    "<h1>410 Gone</h1>\r\n"
    "<p>The requested API version is no longer available.</p>\r\n"
    "</body></html>\r\n"
)
QUOTA_JSON = {
    "error": {
        "name": "QuotaExceeded",
        "message": "You have exceeded your quota limit. Please try again later.",
    }
}
# Failures of the service and of the gateway before it, none of which carries
# one of the service's own error texts.
UNAVAILABLE_JSON = {
    "error": {"name": "ServiceUnavailable", "message": "The service is temporarily unavailable."}
}
BAD_GATEWAY_HTML = (
    "<html>\r\n"
    "<head><title>502 Bad Gateway</title></head>\r\n"
    "<body>\r\n"
    "<center><h1>502 Bad Gateway</h1></center>\r\n"
    "</body>\r\n"
    "</html>\r\n"
)
NOT_FOUND_HTML = (
    '<!DOCTYPE HTML PUBLIC "-//IETF//DTD HTML 2.0//EN">\n'
    "<html><head>\n"
    "<title>404 Not Found</title>\n"
    "</head><body>\n"
    "<h1>Not Found</h1>\n"
    "<p>The requested URL was not found on this server.</p>\n"
    "</body></html>\n"
)
CUT_OFF_BYTES = 125
INVALID_JSON = {"error": {"name": "InvalidCredentials", "message": "API key is invalid"}}
NORECORD_JSON = {"error": {"name": "Forbidden", "message": "Authorization record not found"}}


def address(id_suffix, street1, street2, city, postal, zip4, state, country, lat, lon,
            accuracy, active, delivery, since):
    return {
        "id": "Location." + id_suffix,
        "location_type": "Address",
        "street_line_1": street1,
        "street_line_2": street2,
        "city": city,
        "postal_code": postal,
        "zip4": zip4,
        "state_code": state,
        "country_code": country,
        "lat_long": {"latitude": lat, "longitude": lon, "accuracy": accuracy},
        "is_active": active,
        "delivery_point": delivery,
        "link_to_person_start_date": since,
    }


def answer(uid, phone, line_type, carrier, prepaid, commercial, owner, current,
           historical=(), associated=(), alternates=()):
    """Assembles an answer in the service's own key order.

    Readers of this answer take the first occurrence of a key's name anywhere in
    the text, so the order matters: `carrier` before anything named like
    "carrier_...", `name` before `firstname`, the current address before the
    historical ones.
    """
    return {
        "id": "Phone." + uid,
        "phone_number": phone,
        "is_valid": True,
        "country_calling_code": "1",
        "line_type": line_type,
        "carrier": carrier,
        "is_prepaid": prepaid,
        "is_commercial": commercial,
        "belongs_to": owner,
        "current_addresses": list(current),
        "historical_addresses": list(historical),
        "associated_people": list(associated),
        "alternate_phones": list(alternates),
        "error": None,
        "warnings": [],
    }


def person(uid, first, middle, last, age, gender, since):
    full = " ".join(part for part in (first, middle, last) if part)
    return {
        "id": "Person." + uid,
        "name": full,
        "firstname": first,
        "middlename": middle,
        "lastname": last,
        "age_range": age,
        "gender": gender,
        "type": "Person",
        "link_to_phone_start_date": since,
    }


def business(uid, name, since):
    return {
        "id": "Business." + uid,
        "name": name,
        "firstname": None,
        "middlename": None,
        "lastname": None,
        "age_range": None,
        "gender": None,
        "type": "Business",
        "link_to_phone_start_date": since,
    }


def relative(uid, first, last, relation):
    return {
        "id": "Person." + uid,
        "name": first + " " + last,
        "firstname": first,
        "middlename": None,
        "lastname": last,
        "relation": relation,
    }


SAMPLES = {
    "4135923823": answer(
        "6f1c2a90-3b7e-4d51-a8c2-41359238230a", "4135923823", "Landline",
        "Verizon New England", False, False,
        person("0b6e8d12-7a44-4f0e-9c31-5e2b7d4a9f01", "Margaret", "A", "Ellison", "65+",
               "Female", "2004-03-01"),
        [address("9d2f4b61-1c8e-4a3b-b7d5-0e6f1a2c3b4d", "418 Northampton St", None, "Holyoke",
                 "01040", "3127", "MA", "US", 42.2136, -72.6284, "RoofTop", True,
                 "SingleUnit", "2004-03-01")],
        historical=[address("1a7c3e5f-2b4d-4c6e-8f0a-9b1d3f5e7c9a", "12 Elm Rd", None,
                            "Springfield", "01108", "1904", "MA", "US", 42.0834, -72.5661,
                            "Street", False, "SingleUnit", "1991-07-01")],
        associated=[relative("7e9a1c3b-5d7f-4e1a-9c3b-5d7f9e1a3c5b", "Robert", "Ellison",
                             "Spouse")],
        alternates=["+14135550147"]),
    "3342228605": answer(
        "2c8e4a06-9d1b-4f3e-b5a7-33422286050b", "3342228605", "Mobile",
        "AT&T Mobility", True, False,
        person("4d6f8a0c-2e4b-4d6f-8a0c-2e4b6d8f0a2c", "Darnell", "T", "Rhodes", "25-29",
               "Male", "2019-11-01"),
        [address("5e7a9c1e-3f5b-4e7a-9c1e-3f5b7e9a1c3e", "1120 Adams Ave", "Apt 3B",
                 "Montgomery", "36104", "2718", "AL", "US", 32.3741, -86.2928, "RoofTop",
                 False, "MultiUnit", "2019-11-01")]),
    "5032353968": answer(
        "8a0c2e4b-6d8f-4a0c-8e4b-50323539680c", "5032353968", "NonFixedVOIP",
        "Bandwidth.com", False, True,
        business("3b5d7f9a-1c3e-4b5d-9f1a-3c5e7b9d1f3a", "Ridgeline Coffee Roasters",
                 "2016-05-01"),
        [address("6f8a0c2e-4b6d-4f8a-8c2e-4b6d8f0a2c4e", "2305 SE Belmont St", None, "Portland",
                 "97214", "1650", "OR", "US", 45.5163, -122.6403, "RoofTop", True,
                 "CommercialMailDrop", "2016-05-01")],
        alternates=["+15035550188", "+15035550189"]),
    "6033802932": answer(
        "9b1d3f5a-7c9e-4b1d-8f5a-60338029320d", "6033802932", "Landline",
        "Consolidated Communications", False, False,
        person("1c3e5a7b-9d1f-4c3e-9a7b-9d1f3c5e7a9b", "Evelyn", "R", "Marchand", "45-54",
               "Female", "2011-02-01"),
        [address("2d4f6b8c-0e2a-4d4f-8b8c-0e2a4d6f8b0c", "77 Amherst St", "Unit 12", "Nashua",
                 "03060", "4412", "NH", None, 42.7653, -71.4676, "Street", True, "MultiUnit",
                 "2011-02-01")],
        associated=[relative("3e5a7c9d-1f3b-4e5a-8c9d-1f3b5e7a9c1d", "Paul", "Marchand",
                             "Household")]),
    "7605467993": answer(
        "0c2e4a6b-8d0f-4c2e-8a6b-76054679930e", "7605467993", "Mobile",
        "T-Mobile USA", True, False,
        person("4f6b8d0e-2a4c-4f6b-9d0e-2a4c6f8b0d2e", "Luis", "Alberto", "Ocampo", "35-44",
               "Male", "2021-08-01"),
        [address("5a7c9e1f-3b5d-4a7c-8e1f-3b5d7a9c1e3f", "73850 Fred Waring Dr", None,
                 "Palm Desert", "92260", "5503", "CA", "US", 33.7242, -116.3745, "RoofTop",
                 False, "SingleUnit", "2021-08-01")],
        historical=[address("6b8d0f2a-4c6e-4b8d-9f2a-4c6e8b0d2f4a", "1550 E Tahquitz Canyon Way",
                            "Ste 4", "Palm Springs", "92262", "7016", "CA", "US", 33.8217,
                            -116.5302, "Street", False, "MultiUnit", "2015-01-01")]),
    "2125229333": answer(
        "1d3f5b7c-9e1a-4d3f-8b7c-21252293330f", "2125229333", "NonFixedVOIP",
        "Vonage Holdings", False, False,
        person("7c9e1b3d-5f7a-4c9e-8b3d-5f7a9c1e3b5d", "Priya", "N", "Raman", "30-34",
               "Female", "2018-04-01"),
        [address("8d0f2c4e-6a8b-4d0f-9c4e-6a8b0d2f4c6e", "250 W 57th St", "Fl 14", "New York",
                 "10019", "6012", "NY", "US", 40.7656, -73.9825, "RoofTop", True, "MultiUnit",
                 "2018-04-01")]),
}

# Material for the answers of all other numbers. None of these words contains
# a key name that readers look for (e.g. no "City" in a town's name).
FIRST_NAMES = ["James", "Linda", "Omar", "Grace", "Victor", "Helen", "Tobias", "Rosa", "Kenji",
               "Alice", "Martin", "Nadia", "Samuel", "Irene", "Felix", "Joanna"]
LAST_NAMES = ["Parker", "Okafor", "Lindqvist", "Brennan", "Castillo", "Huang", "Moreau",
              "Fitzgerald", "Novak", "Delgado", "Whitaker", "Sato", "Abernathy", "Kowalski",
              "Grant", "Benson"]
STREETS = ["Maple Ave", "Oak St", "Pine Ridge Rd", "Lakeview Dr", "Cedar Ln", "Main St",
           "Hillcrest Blvd", "River Rd"]
TOWNS = [("Springfield", "IL", "62701", 39.7990, -89.6440),
         ("Boise", "ID", "83702", 43.6150, -116.2023),
         ("Tallahassee", "FL", "32301", 30.4383, -84.2807),
         ("Burlington", "VT", "05401", 44.4759, -73.2121),
         ("Tucson", "AZ", "85701", 32.2226, -110.9747),
         ("Duluth", "MN", "55802", 46.7867, -92.1005),
         ("Savannah", "GA", "31401", 32.0809, -81.0912),
         ("Spokane", "WA", "99201", 47.6588, -117.4260)]
CARRIERS = ["Verizon Wireless", "T-Mobile USA", "AT&T Mobility", "Lumen Technologies",
            "Frontier Communications", "Bandwidth.com", "Comcast Digital Phone", "US Cellular"]
LINE_TYPES = ["Landline", "Mobile", "NonFixedVOIP"]


def uid_from(seed):
    digest = hashlib.sha256(seed.encode("utf-8")).hexdigest()
    return "-".join((digest[0:8], digest[8:12], "4" + digest[13:16], "8" + digest[17:20],
                     digest[20:32]))


def generic_answer(digits):
    """A valid answer that depends only on the digits, the same on every call."""
    h = hashlib.sha256(digits.encode("ascii")).digest()
    town, state, postal, lat, lon = TOWNS[h[0] % len(TOWNS)]
    first = FIRST_NAMES[h[1] % len(FIRST_NAMES)]
    last = LAST_NAMES[h[2] % len(LAST_NAMES)]
    street1 = "%d %s" % (100 + (h[3] << 8 | h[4]) % 9900, STREETS[h[5] % len(STREETS)])
    street2 = "Apt %d" % (1 + h[6] % 40) if h[6] & 1 else None
    zip4 = "%04d" % ((h[7] << 8 | h[8]) % 10000)
    since = "%04d-%02d-01" % (2000 + h[9] % 24, 1 + h[10] % 12)
    return answer(
        uid_from("phone" + digits), digits, LINE_TYPES[h[11] % len(LINE_TYPES)],
        CARRIERS[h[12] % len(CARRIERS)], bool(h[13] & 1), False,
        person(uid_from("person" + digits), first, None, last, "35-44",
               "Female" if h[14] & 1 else "Male", since),
        [address(uid_from("location" + digits), street1, street2, town, postal, zip4, state, "US",
                 lat, lon, "Street", bool(h[15] & 1), "SingleUnit", since)])


def invalid_answer(raw):
    """The service's answer for a phone value without any digit."""
    return {
        "id": None,
        "phone_number": raw,
        "is_valid": False,
        "country_calling_code": None,
        "line_type": None,
        "carrier": None,
        "is_prepaid": None,
        "is_commercial": None,
        "belongs_to": None,
        "current_addresses": [],
        "historical_addresses": [],
        "associated_people": [],
        "alternate_phones": [],
        "error": None,
        "warnings": ["Invalid Input"],
    }


def utf8_answer(digits):
    return answer(
        uid_from("utf8" + digits), digits, "Mobile", "Telia Sverige", False, False,
        person(uid_from("utf8-person" + digits), "Jürgen", None, "Müller", "45-54", "Male",
               "2017-09-01"),
        [address(uid_from("utf8-location" + digits), "Södra Förstadsgatan 12", None, "Malmö",
                 "211 43", None, "M", "SE", 55.5986, 13.0010, "RoofTop", True, "MultiUnit",
                 "2017-09-01")])


def normal_answer(phone):
    if phone in SAMPLES:
        return SAMPLES[phone]
    digits = "".join(ch for ch in phone if "0" <= ch <= "9")
    return generic_answer(digits) if digits else invalid_answer(phone)


def to_json_bytes(obj):
    # No blanks after ":" and ",": values then start right after the colon, as
    # the sample answers should read cleanly with a search by key name.
    return json.dumps(obj, separators=(",", ":"), ensure_ascii=False).encode("utf-8")


def big_body(obj):
    """The answer followed by a padding array, exactly BIG_BODY_SIZE bytes."""
    head = to_json_bytes(obj)[:-1] + b',"padding":['
    tail = b"]}"
    item = b'"' + b"0123456789abcdef" * 64 + b'"'
    room = BIG_BODY_SIZE - len(head) - len(tail)
    count = (room - 3) // (len(item) + 1)  # leaves room for the last, shorter item
    body = head + b",".join([item] * count)
    last = BIG_BODY_SIZE - len(body) - len(tail) - 3  # its comma and quotes take 3 bytes
    body += b',"' + b"x" * last + b'"' + tail
    assert len(body) == BIG_BODY_SIZE
    return body


def parse_query(query):
    """Splits a raw query into its first value per name, without any decoding."""
    values = {}
    for pair in query.split("&"):
        name, sep, value = pair.partition("=")
        if sep and name not in values:
            values[name] = value
    return values


# --- Rate limits (HTTP 429) ---------------------------------------------------
# A number of RATE_LIMITED_PHONES is refused with 429 the first RATE_LIMIT_REFUSALS
# times it is asked for, then answered normally; its Retry-After is given in
# seconds, as an HTTP date, or not at all. The key RATE_LIMIT_KEY is refused on
# every request, with "Retry-After: 0" so that a client gives up quickly.
RATE_LIMIT_KEY = "ratelimit"
RATE_LIMIT_REFUSALS = 2
RATE_LIMITED_PHONES = {
    "4290000001": "seconds",
    "4290000002": "date",
    "4290000003": "none",
}


def rate_limit(handler, key, phone):
    """Sends a 429 when this request is to be refused; True when it did."""
    server = handler.server
    with server.log_lock:
        counts = server.__dict__.setdefault("rate_limit_counts", {})
        if key == RATE_LIMIT_KEY:
            retry_after = "0"
        elif phone in RATE_LIMITED_PHONES and counts.get(phone, 0) < RATE_LIMIT_REFUSALS:
            counts[phone] = counts.get(phone, 0) + 1
            kind = RATE_LIMITED_PHONES[phone]
            if kind == "seconds":
                retry_after = "1"
            elif kind == "date":
                retry_after = email.utils.formatdate(time.time() + 2, usegmt=True)
            else:
                retry_after = None
        else:
            return False
    body = to_json_bytes({"error": {"name": "TooManyRequests",
                                    "message": "Too many requests"}})
    handler.close_connection = True
    handler.send_response(429)
    if retry_after is not None:
        handler.send_header("Retry-After", retry_after)
    handler.send_header("Content-Type", "application/json; charset=utf-8")
    handler.send_header("Content-Length", str(len(body)))
    handler.send_header("Connection", "close")
    handler.end_headers()
    handler.wfile.write(body)
    return True


# --- Chaos (soak tests) ----------------------------------------------------------
# With --chaos SEED every lookup gets a behaviour drawn at random, whatever its
# key and number: mostly the normal answer, else dropped, hanging, empty, 429
# (Retry-After: 0), slow, UTF-16 or "no record". The draw goes to the request log
# as its own line {"chaos": BEHAVIOUR, "phone": ...}, so a soak can tell which
# requests were answered.
CHAOS_WEIGHTS = [
    ("normal", 7400), ("drop", 400), ("hang", 5), ("empty", 300), ("ratelimit", 500),
    ("slow", 500), ("utf16", 880), ("norecord", 15),
]


def chaos_behaviour(server, phone):
    """The drawn behaviour for one request, logged; None without --chaos."""
    rng = getattr(server, "chaos_random", None)
    if rng is None:
        return None
    with server.log_lock:
        pick = rng.randrange(sum(weight for _, weight in CHAOS_WEIGHTS))
    for name, weight in CHAOS_WEIGHTS:
        if pick < weight:
            break
        pick -= weight
    server.log_request_entry({"chaos": name, "phone": phone})
    return name


# The connection each request came on, so that a client's reuse of kept-alive
# connections shows in the log ("connection": N, counted from 1 per start).
CONNECTION = threading.local()


class Handler(http.server.BaseHTTPRequestHandler):
    server_version = "QuillmoreFakeService/1.0"
    # Keeps connections alive between answers, as the real service's gateway
    # does; the failures that end a connection say so.
    protocol_version = "HTTP/1.1"
    timeout = 30  # for reading a request; a silent client does not keep a thread forever

    def version_string(self):
        return self.server_version

    def do_POST(self):
        arrival = self.record()
        path, _, query = self.path.partition("?")
        self.drain_body()
        if path != "/3.1/phone":
            self.not_found()
            return
        params = parse_query(query)
        key = params.get("api_key", "")
        phone = params.get("phone", "")
        if self.server.__dict__.get("delay_seconds"):
            self.server.stopping.wait(self.server.delay_seconds)  # benchmarks of latency
        chaos = chaos_behaviour(self.server, phone)
        if chaos == "ratelimit":
            rate_limit(self, RATE_LIMIT_KEY, phone)
            return
        if rate_limit(self, key, phone):
            return
        behaviour = chaos or BY_KEY.get(key) or BY_PHONE.get(phone)
        self.respond(behaviour, phone, arrival)

    def __getattr__(self, name):
        # Every other method gets the same short "not found" answer.
        if name.startswith("do_"):
            return self.other_method
        raise AttributeError(name)

    def other_method(self):
        self.record()
        self.drain_body()
        self.not_found()

    def record(self):
        arrival_monotonic = time.monotonic()
        arrival_wall = time.time()
        _, _, query = self.path.partition("?")
        params = parse_query(query)
        self.server.log_request_entry({
            "method": self.command,
            "path": self.path.partition("?")[0],
            "query": query,
            "api_key": params.get("api_key"),
            "phone": params.get("phone"),
            "arrival_monotonic": arrival_monotonic,
            "arrival_wall": arrival_wall,
            "connection": getattr(CONNECTION, "id", None),
        })
        return arrival_monotonic

    def drain_body(self):
        # A request without Content-Length (curl's "-X POST" without data) has no body.
        length = self.headers.get("Content-Length")
        if length and length.isdigit():
            self.rfile.read(int(length))

    def send_body(self, status, body, content_type):
        self.send_response(status)
        self.send_header("Content-Type", content_type)
        self.send_header("Content-Length", str(len(body)))
        if self.close_connection:
            self.send_header("Connection", "close")
        self.end_headers()
        if self.command != "HEAD":
            self.wfile.write(body)

    def send_cut_off(self, obj):
        """Promises the whole answer, sends its first CUT_OFF_BYTES and closes
        (curl: "transfer closed with ... bytes remaining", exit 18)."""
        self.close_connection = True
        body = to_json_bytes(obj)
        self.send_response(200)
        self.send_header("Content-Type", "application/json; charset=utf-8")
        self.send_header("Content-Length", str(len(body)))
        self.send_header("Connection", "close")
        self.end_headers()
        self.wfile.write(body[:CUT_OFF_BYTES])
        self.wfile.flush()

    def send_json(self, status, obj):
        self.send_body(status, to_json_bytes(obj), "application/json; charset=utf-8")

    def send_html(self, status, text):
        self.send_body(status, text.encode("ascii"), "text/html; charset=iso-8859-1")

    def not_found(self):
        self.send_body(404, b"Not found\n", "text/plain; charset=utf-8")

    def respond(self, behaviour, phone, arrival):
        if behaviour == "quota-html":
            self.send_html(403, QUOTA_HTML)
        elif behaviour == "quota-text":
            self.send_json(403, QUOTA_JSON)
        elif behaviour == "gone":
            self.send_html(410, GONE_HTML)
        elif behaviour == "invalid":
            self.send_json(403, INVALID_JSON)
        elif behaviour == "norecord":
            self.send_json(403, NORECORD_JSON)
        elif behaviour == "unavailable":
            self.send_json(503, UNAVAILABLE_JSON)
        elif behaviour == "badgateway":
            self.send_html(502, BAD_GATEWAY_HTML)
        elif behaviour == "notfound":
            self.send_html(404, NOT_FOUND_HTML)
        elif behaviour == "cutoff":
            self.send_cut_off(normal_answer(phone))
        elif behaviour == "empty":
            self.send_body(200, b"", "application/json; charset=utf-8")
        elif behaviour == "hang":
            self.close_connection = True
            self.server.stopping.wait(HANG_SECONDS)
        elif behaviour == "drop":
            self.close_connection = True  # the connection is closed with nothing sent
        elif behaviour == "big":
            self.send_body(200, big_body(normal_answer(phone)), "application/json; charset=utf-8")
        elif behaviour == "utf16":
            body = b"\xff\xfe" + json.dumps(normal_answer(phone), separators=(",", ":"),
                                            ensure_ascii=False).encode("utf-16-le")
            self.send_body(200, body, "application/json; charset=utf-16")
        elif behaviour == "utf8":
            digits = "".join(ch for ch in phone if "0" <= ch <= "9")
            self.send_json(200, utf8_answer(digits))
        else:
            if behaviour == "slow":
                remaining = self.server.slow_seconds - (time.monotonic() - arrival)
                if remaining > 0:
                    self.server.stopping.wait(remaining)
            self.send_json(200, normal_answer(phone))

    def log_message(self, format, *args):
        sys.stderr.write("%s %s\n" % (self.log_date_time_string(), format % args))


class Server(http.server.ThreadingHTTPServer):
    def __init__(self, address, context, log_path, slow_seconds):
        super().__init__(address, Handler)
        self.context = context
        self.slow_seconds = slow_seconds
        self.connections = itertools.count(1)
        self.stopping = threading.Event()
        self.log_lock = threading.Lock()
        self.log_file = open(log_path, "a", encoding="utf-8") if log_path else None

    def finish_request(self, request, client_address):
        # The handshake runs in the connection's own thread, so a client that
        # stalls or rejects our certificate holds up nobody else.
        request.settimeout(30)
        # An answer's headers and body go out as separate writes: without
        # this the body waits for the client's acknowledgement of the
        # headers, a delay of the service's own that no client could avoid.
        request.setsockopt(socket.IPPROTO_TCP, socket.TCP_NODELAY, 1)
        CONNECTION.id = next(self.connections)
        try:
            tls = self.context.wrap_socket(request, server_side=True)
        except (ssl.SSLError, OSError):
            return
        try:
            self.RequestHandlerClass(tls, client_address, self)
        finally:
            try:
                tls.settimeout(2)
                tls.unwrap()  # orderly TLS close, so a dropped answer reads as an empty reply
            except (ssl.SSLError, OSError, ValueError):
                pass
            tls.close()

    def handle_error(self, request, client_address):
        kind = sys.exc_info()[0]
        if kind is not None and issubclass(kind, (ConnectionError, ssl.SSLError, socket.timeout)):
            return  # clients that give up (time-outs in tests) are expected
        super().handle_error(request, client_address)

    def log_request_entry(self, entry):
        if self.log_file is None:
            return
        line = json.dumps(entry, ensure_ascii=False) + "\n"
        with self.log_lock:
            self.log_file.write(line)
            self.log_file.flush()

    def server_close(self):
        self.stopping.set()
        super().server_close()
        if self.log_file is not None:
            self.log_file.close()


# --- Round trips (benchmarks) --------------------------------------------------
# With --rtt MS clients reach the service through a front that holds every
# chunk for half the round trip in each direction, so that a TLS handshake and
# each request cost real round trips, as over a network, without root or netem.

class DelayedPipe:
    """Carries one direction of a connection, each chunk `delay` seconds late.

    Reading and writing are separate threads, so chunks in flight overlap as
    on a wire instead of adding up."""

    def __init__(self, source, sink, delay):
        self.source, self.sink, self.delay = source, sink, delay
        self.chunks = queue.Queue()
        threading.Thread(target=self.read, daemon=True).start()
        threading.Thread(target=self.write, daemon=True).start()

    def read(self):
        while True:
            try:
                data = self.source.recv(65536)
            except OSError:
                data = b""
            self.chunks.put((time.monotonic() + self.delay, data))
            if not data:
                return

    def write(self):
        while True:
            due, data = self.chunks.get()
            wait = due - time.monotonic()
            if wait > 0:
                time.sleep(wait)
            try:
                if not data:
                    self.sink.shutdown(socket.SHUT_WR)
                    return
                self.sink.sendall(data)
            except OSError:
                for end in (self.source, self.sink):
                    try:
                        end.shutdown(socket.SHUT_RDWR)
                    except OSError:
                        pass
                return


def run_front(listener, inner_port, rtt_seconds):
    while True:
        try:
            client, _ = listener.accept()
        except OSError:
            return
        try:
            inner = socket.create_connection(("127.0.0.1", inner_port))
        except OSError:
            client.close()
            continue
        for end in (client, inner):
            end.setsockopt(socket.IPPROTO_TCP, socket.TCP_NODELAY, 1)
        DelayedPipe(client, inner, rtt_seconds / 2)
        DelayedPipe(inner, client, rtt_seconds / 2)


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--port", type=int, default=0, help="port on 127.0.0.1; 0 picks a free one")
    parser.add_argument("--cert", required=True, help="server certificate, PEM")
    parser.add_argument("--key", required=True, help="server private key, PEM")
    parser.add_argument("--log", help="file to append one JSON line per request to")
    parser.add_argument("--slow-seconds", type=float, default=2.0,
                        help="delay of the 'slow' answer (default 2)")
    parser.add_argument("--delay-seconds", type=float, default=0.0,
                        help="wait this long before answering any lookup (benchmarks)")
    parser.add_argument("--chaos", type=int, metavar="SEED",
                        help="answer every lookup with a behaviour drawn at random (soak tests)")
    parser.add_argument("--rtt", type=float, default=0.0, metavar="MS",
                        help="reach the service through a front that adds this round trip "
                             "(half each way) to every chunk (benchmarks)")
    args = parser.parse_args()

    context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
    context.load_cert_chain(args.cert, args.key)
    context.set_alpn_protocols(["http/1.1"])

    server = Server(("127.0.0.1", 0 if args.rtt > 0 else args.port), context, args.log,
                    args.slow_seconds)
    server.delay_seconds = args.delay_seconds
    if args.chaos is not None:
        server.chaos_random = random.Random(args.chaos)

    def stop(signum, frame):
        raise SystemExit(0)

    signal.signal(signal.SIGTERM, stop)
    signal.signal(signal.SIGINT, stop)

    port = server.server_address[1]
    if args.rtt > 0:
        listener = socket.create_server(("127.0.0.1", args.port), backlog=128)
        port = listener.getsockname()[1]
        threading.Thread(target=run_front, args=(listener, server.server_address[1],
                                                 args.rtt / 1000.0), daemon=True).start()

    print("PORT %d" % port, flush=True)
    try:
        server.serve_forever(poll_interval=0.2)
    except SystemExit:
        pass
    finally:
        server.server_close()


if __name__ == "__main__":
    main()
