"""The page functions and page callbacks through a real renderer: bridge-probe.exe runs the
client's renderer application object in a renderer process and plays the main window (a window
of the main window's class that records the bridge messages and answers join requests with the
join result record). The page is the demo service's live-room page (actions_liveroom.py)."""

import unittest

from harness import ClientTestCase, ProbeRunner, demo_env

NAMES = ["ExitLiveHall", "EnterLiveRoom", "LeaveLiveRoom", "GetWsNgbNode", "JoinChannel",
         "LeaveChannel", "registerJSFunction", "ChangeBackground", "Login"]


class BridgeTestCase(ClientTestCase):
    def setUp(self):
        super().setUp()
        self.probe = ProbeRunner(self.workdir, "bridge-probe.exe", "bridge-record.txt", timeout=180)

    def run_ok(self, commands, *flags):
        code, lines = self.probe.run(commands, *flags)
        self.assertEqual(code, 0, self.probe.explain(lines))
        return lines

    def room(self, **query):
        return self.service.url("liveRoom.action?" + "&".join(f"{k}={v}" for k, v in query.items()))

    @staticmethod
    def page(lines, tag):
        """The page's own console lines, without their tag."""
        prefix = f"console [{tag}] "
        return [l[len(prefix):] for l in lines if l.startswith(prefix)]

    @staticmethod
    def starting(lines, prefix):
        return [l for l in lines if l.startswith(prefix)]


class PageFunctions(BridgeTestCase):
    def test_every_function_with_good_and_bad_arguments(self):
        lines = self.run_ok([f"browser {self.room(cases=1, tag='t')}", "wait [t] cases done",
                             "wait background wparam=0x0 lparam=0x7"], "--join-results=1,0,7,-2")
        page = self.page(lines, "t")

        # All nine, in binding order, writable, enumerable and deletable.
        self.assertIn("bound " + ",".join(NAMES), page)
        for name in NAMES:
            self.assertIn(f"attrs {name} function w=1 e=1 c=1", page)

        # Every call returned undefined; none threw, whatever it was given.
        cases = self.starting(page, "case ")
        self.assertGreater(len(cases), 80)
        self.assertEqual([c for c in cases if not c.endswith(" returned undefined")], [])

        # Join callbacks: 3 for wrong types, the record's value otherwise; none without a
        # callback or with three arguments.
        results = {r.split(" ", 2)[1]: r.split(" ", 2)[2] for r in self.starting(page, "result join")}
        self.assertEqual(results, {
            "join-text-cid": "n=1 number:3",
            "join-fraction": "n=1 number:3",
            "join-at-key": "n=1 number:1",
            "join-extra": "n=1 number:0",
            "join-big-key": "n=1 number:65535",  # too long to send: no request was made
            "join-longest-key": "n=1 number:7",
            "join-unicode": "n=1 number:-2",
        })

        # What the main window received, in order.
        joins = self.starting(lines, "copydata ")
        longest = "\u4e2d" + "k" * (65536 - 6) + "Z"
        units = len("1@2@") + len(longest)
        self.assertEqual(units, 65536)
        self.assertEqual(joins, [
            "copydata wparam=0x10 bytes=18 terminated=1 units=8 text=-5@7@a@b",
            "copydata wparam=0x10 bytes=22 terminated=1 units=10 text=12345@678@",
            f"copydata wparam=0x10 bytes={(units + 1) * 2} terminated=1 units={units} "
            f"text={('1@2@' + longest)[:100]}...{longest[-20:]}",
            "copydata wparam=0x10 bytes=14 terminated=1 units=6 text=3@4@\u9891\u9053",
        ])
        self.assertEqual(self.starting(lines, "join answered"),
                         ["join answered 1", "join answered 0", "join answered 7",
                          "join answered -2"])
        # ChangeBackground(-1) arrives sign-extended; fractions, texts and two arguments post
        # nothing.
        self.assertEqual(self.starting(lines, "background "),
                         ["background wparam=0x0 lparam=0xFFFFFFFF",
                          "background wparam=0x0 lparam=0x7"])
        # EnterLiveRoom and LeaveChannel take any arguments: once by name, seven times with odd
        # argument lists.
        self.assertEqual(self.starting(lines, "live-room "), ["live-room wparam=0x0 lparam=0x0"] * 8)
        self.assertEqual(self.starting(lines, "leave-channel "),
                         ["leave-channel wparam=0x0 lparam=0x0"] * 8)

    def test_stream_node_queries_carry_the_page_name(self):
        lines = self.run_ok([f"browser {self.room(cases=1, tag='t')}", "wait [t] cases done"])
        page = self.page(lines, "t")
        pull = demo_env()["ZARVIK_STREAM_PULL_HOST"]
        nodes = {r.split(" ", 2)[1]: r.split(" ", 2)[2] for r in self.starting(page, "result node")}
        self.assertEqual(set(nodes), {"node", "node-number-name", "node-unicode"})
        # The scheduler's text as it came (its first line; the record splits lines).
        node1 = f"n=1 string:http://127.0.0.1:{self.service.port}/node1/{pull}/show/"
        self.assertEqual(nodes["node"], node1 + "room42")
        self.assertEqual(nodes["node-number-name"], node1)

        # One scheduler request per good call (the bad ones asked nothing), with the four
        # headers in order; a non-text name asks with an empty one, others go out as UTF-8.
        asked = [r for r in self.service.requests("/") if any(
            h.startswith("WS_URL:") for h in r["headers"])]
        expected_urls = [f"{pull}/show/", f"{pull}/show/room42",
                         f"{pull}/show/" + "\u623f\u95f4".encode("utf-8").decode("latin-1")]
        self.assertEqual(len(asked), 3, asked)
        for request, url in zip(asked, expected_urls):
            ours = [h for h in request["headers"] if h.split(":")[0] in
                    ("Accept", "WS_URL", "WS_RETIP_NUM", "WS_URL_TYPE")]
            self.assertEqual(ours, ["Accept:*/*", f"WS_URL:{url}", "WS_RETIP_NUM:3",
                                    "WS_URL_TYPE:3"])
        # The page's lines are in the engine's log too.
        with open(self.probe.log, encoding="utf-8", errors="replace") as f:
            self.assertIn('"[t] case node returned undefined"', f.read())

    def test_a_failed_node_query_is_retried_and_two_failures_give_empty_text(self):
        def asked(stream):
            return [r for r in self.service.requests("/")
                    if any(h.endswith("/show/" + stream) for h in r["headers"])]

        # The page's query on load: the first attempt gets an empty body, the second the nodes.
        self.service.set_switches(scheduler_fail_next=1)
        lines = self.run_ok([f"browser {self.room(tag='r', stream='s1')}",
                             "wait [r] stream node for s1: http"])
        first, second = asked("s1")
        self.assertEqual(first["headers"], second["headers"])
        self.assertGreaterEqual(second["time"] - first["time"], 0.9)  # the pause in between

        # Both attempts empty: the page hears the empty text.
        self.service.set_switches(scheduler_fail_next=2)
        lines = self.run_ok([f"browser {self.room(tag='e', stream='s3', register=0)}",
                             "wait [e] stream node for s3:"])
        self.assertIn("stream node for s3: ", self.page(lines, "e"))
        self.assertEqual(len(asked("s3")), 2)

    def test_without_a_main_window_join_answers_65535_and_nothing_else_happens(self):
        lines = self.run_ok([
            f"browser {self.room(tag='n', register=0)}", "wait [n] stream node",
            "js JoinChannel(1, 2, 'k', reporter('join')); ChangeBackground(1); LeaveChannel();"
            " LeaveLiveRoom(); show('done')", "wait [n] done"], "--no-main-window")
        self.assertIn("result join n=1 number:65535", self.page(lines, "n"))
        self.assertEqual([l for l in lines if l.split(" ")[0] in
                          ("copydata", "background", "live-room", "leave-channel")], [])


class PageCallbacks(BridgeTestCase):
    def test_callbacks_follow_registration_reload_and_leaving_the_room(self):
        second = ("registerJSFunction('browseHistory', function () {"
                  " show('callback browseHistory-second ' + describe(arguments)); })")
        lines = self.run_ok([
            f"browser {self.room(tag='a')}", "wait [a] stream node",
            "msg closeMic 1", "msg closeMic", "msg changeWindowSize 1", "msg changeWindowMode 0",
            "msg browseHistory 5", "msg unknownThing 1", "msg CloseMic 1",
            "wait [a] callback browseHistory",
            f"js {second}", "msg browseHistory", "wait browseHistory-second",
            # A new document: the old registrations stay, but nothing is called until it
            # registers itself.
            f"load {self.room(tag='b', register=0)}", "wait [b] stream node",
            "msg closeMic 1", "msg changeWindowSize 1", "msg browseHistory",
            "js show('sync 1')", "wait [b] sync 1", "sleep 300",
            "js registerCallbacks('-b')", "msg closeMic 1", "msg changeWindowMode 1",
            "wait changeWindowMode-b",
            # Leaving the live room empties the registry.
            "js LeaveLiveRoom()", "msg closeMic 1", "msg changeWindowMode 1", "msg browseHistory",
            "msg changeWindowSize 0", "js show('sync 2')", "wait [b] sync 2", "sleep 300"])
        callbacks = [l.split("] ", 1)[1] for l in lines if " callback " in l]
        self.assertEqual(callbacks, [
            "callback closeMic n=1 number:1",
            "callback closeMic n=1 number:0",         # no argument reads 0
            "callback changeWindowSize n=1 number:1",
            "callback changeWindowMode n=1 number:0",
            "callback browseHistory n=0",             # never an argument
            "callback browseHistory-second n=0",      # the second registration replaced the first
            "callback closeMic-b n=1 number:1",
            "callback changeWindowMode-b n=1 number:1",
        ])
        self.assertEqual(self.starting(lines, "live-room "),
                         ["live-room wparam=0x0 lparam=0x0", "live-room wparam=0x0 lparam=0x0",
                          "live-room wparam=0x0 lparam=0x1"])

    def test_a_new_context_elsewhere_silences_callbacks_until_the_page_registers_again(self):
        # Both browsers live in the one renderer: the second one's new document empties the
        # callback context, though the first page and its registrations are still there.
        lines = self.run_ok([
            f"browser {self.room(tag='a')}", "wait [a] stream node",
            "msg closeMic 1", "wait [a] callback closeMic",
            f"browser {self.room(tag='b', register=0)}", "wait [b] stream node",
            "msg closeMic 2", "msg changeWindowSize 2", "js show('sync 1')", "wait [a] sync 1",
            "sleep 300",
            "js registerCallbacks('-again')", "msg closeMic 3", "wait closeMic-again"])
        callbacks = [l.split("] ", 1)[1] for l in lines if " callback " in l]
        self.assertEqual(callbacks, ["callback closeMic n=1 number:1",
                                     "callback closeMic-again n=1 number:3"])


if __name__ == "__main__":
    unittest.main()
