"""The browser engine stand-in as its client sees it, through cef-probe.exe: a browser-process
program that records every handler call of its client, one line each, with the renderer as a
second real process. Pages come from the demo service (actions_engine_test.py)."""

import os
import socket
import subprocess
import time
import unittest

from harness import ClientTestCase, ProbeRunner, to_wine_path, wait_for


def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


class EngineTestCase(ClientTestCase):
    def setUp(self):
        super().setUp()
        self.probe = ProbeRunner(self.workdir, "cef-probe.exe", "probe-record.txt", timeout=120)

    def url(self, path):
        return self.service.url(path)

    def assertInOrder(self, lines, expected):
        """Each expected line (a prefix) appears after the one before it."""
        position = 0
        for wanted in expected:
            for index in range(position, len(lines)):
                if lines[index].startswith(wanted):
                    position = index + 1
                    break
            else:
                self.fail(f"{wanted!r} not found in order after line {position}:\n" +
                          "\n".join(lines))

    def assertHandlersOnEngineThread(self, lines):
        self.assertEqual([l for l in lines if l.startswith("WRONG-THREAD")], [], lines)

    def run_ok(self, commands, *flags):
        code, lines = self.probe.run(commands, *flags)
        self.assertEqual(code, 0, self.probe.explain(lines))
        self.assertHandlersOnEngineThread(lines)
        return lines


class Navigation(EngineTestCase):
    def test_a_load_runs_the_handlers_in_order_and_the_close_protocol_ends_it(self):
        page = self.url("engine/page")
        lines = self.run_ok([f"browser {page}", f"wait OnLoadEnd url={page}", "close"])
        self.assertInOrder(lines, [
            "OnAfterCreated id=1 popup=0 class=CefBrowserWindow parent=1 size=900x560",
            f"OnBeforeBrowse url={page} redirect=0",
            "OnLoadingStateChange loading=1",
            f"OnAddressChange url={page}",
            f"OnLoadStart url={page}",
            "OnConsoleMessage level=2 line=1 source=" + self.url("engine/script.js") +
            " message=external script " + page,
            f"OnConsoleMessage level=2 line=12 source={page} message=inline script Engine page",
            f"OnConsoleMessage level=4 line=13 source={page} message=an error line",
            "OnTitleChange title=Engine page",
            f"OnLoadEnd url={page} status=200",
            "OnLoadingStateChange loading=0",
            "WM_CLOSE 1", "DoClose id=1", "WM_CLOSE 2", "main window destroyed",
            "OnBeforeClose id=1",
        ])
        self.assertEqual([l for l in lines if l.startswith("OnLoadError")], [])
        # The page and its script came over HTTP with the engine's language.
        requests = self.service.requests()
        self.assertEqual([r["path"] for r in requests], ["/engine/page", "/engine/script.js"])
        self.assertIn("Accept-Language:zh-CN,zh", requests[0]["headers"])
        # The pages' console lines land in the engine's log with their source and line.
        log = self.probe.log_text()
        self.assertIn(f':INFO:CONSOLE(12)] "inline script Engine page", source: {page} (12)', log)
        self.assertIn(f':ERROR:CONSOLE(13)] "an error line", source: {page} (13)', log)
        self.assertTrue(os.path.isdir(self.probe.cache))

    def test_shutting_down_on_the_second_close_ends_the_browser_first(self):
        page = self.url("engine/second")
        lines = self.run_ok([f"browser {page}", f"wait OnLoadEnd url={page}", "close"],
                            "--shutdown-on-close")
        self.assertInOrder(lines, ["WM_CLOSE 1", "DoClose id=1", "WM_CLOSE 2", "OnBeforeClose id=1",
                                   "shutdown done", "main window destroyed"])

    def test_a_redirect_asks_again_and_loads_the_target(self):
        start, target = self.url("engine/redirect"), self.url("engine/second")
        lines = self.run_ok([f"browser {start}", f"wait OnLoadEnd url={target}"])
        self.assertInOrder(lines, [
            f"OnBeforeBrowse url={start} redirect=0",
            "OnLoadingStateChange loading=1",
            f"OnBeforeBrowse url={target} redirect=1",
            f"OnLoadStart url={target}",
            "OnTitleChange title=Second page",
            f"OnLoadEnd url={target} status=200",
            "OnLoadingStateChange loading=0",
        ])
        self.assertEqual([l for l in lines if l.startswith("OnLoadStart")], [f"OnLoadStart url={target}"])

    def test_an_unreachable_host_fails_without_starting_a_page(self):
        cases = [
            (f"http://127.0.0.1:{free_port()}/nothing", "-102 text=ERR_CONNECTION_REFUSED"),
            ("http://no-such-host.invalid/page", "-105 text=ERR_NAME_NOT_RESOLVED"),
        ]
        for dead, error in cases:
            with self.subTest(url=dead):
                lines = self.run_ok([f"browser {dead}", "wait OnLoadingStateChange loading=0"])
                self.assertInOrder(lines, [
                    f"OnBeforeBrowse url={dead} redirect=0",
                    "OnLoadingStateChange loading=1",
                    f"OnLoadError url={dead} code={error}",
                    "OnLoadingStateChange loading=0",
                ])
                self.assertEqual([l for l in lines if l.startswith("OnLoadStart")], [])

    def test_an_error_document_loaded_from_the_error_handler_shows_in_the_frame(self):
        dead = f"http://127.0.0.1:{free_port()}/nothing"
        lines = self.run_ok([f"browser {dead}", f"wait OnLoadEnd url={dead}"], "--error-page")
        self.assertInOrder(lines, [
            f"OnLoadError url={dead} code=-102 text=ERR_CONNECTION_REFUSED",
            "OnLoadingStateChange loading=0",
            f"OnBeforeBrowse url={dead} redirect=0",
            "OnLoadingStateChange loading=1",
            f"OnLoadStart url={dead}",
            f"OnLoadEnd url={dead} status=200",
            "OnLoadingStateChange loading=0",
        ])

    def test_a_new_navigation_aborts_the_running_load(self):
        slow, second = self.url("engine/slow?delay=5"), self.url("engine/second")
        lines = self.run_ok([f"browser {slow}", f"wait OnBeforeBrowse url={slow}", "sleep 300",
                             f"load {second}", f"wait OnLoadEnd url={second}"])
        self.assertInOrder(lines, [
            f"OnBeforeBrowse url={slow}",
            "OnLoadingStateChange loading=1",
            f"OnBeforeBrowse url={second}",
            f"OnLoadError url={slow} code=-3 text=ERR_ABORTED",
            f"OnLoadStart url={second}",
            f"OnLoadEnd url={second} status=200",
            "OnLoadingStateChange loading=0",
        ])
        self.assertEqual([l for l in lines if l.startswith("OnLoadStart")], [f"OnLoadStart url={second}"])
        # Loading went on through the switch: one start, one end.
        self.assertEqual([l for l in lines if l.startswith("OnLoadingStateChange")],
                         ["OnLoadingStateChange loading=1", "OnLoadingStateChange loading=0"])

    def test_scripts_navigate_reload_and_retitle_the_page(self):
        page, second = self.url("engine/page"), self.url("engine/second")
        lines = self.run_ok([
            f"browser {page}", f"wait OnLoadEnd url={page}",
            "js document.title = 'Renamed'", "wait OnTitleChange title=Renamed",
            "js location.href = 'second'", f"wait OnLoadEnd url={second}",
            "js location.reload()", f"wait OnLoadEnd url={second} #2"])
        self.assertInOrder(lines, [
            "OnTitleChange title=Renamed",
            f"OnBeforeBrowse url={second} redirect=0 gesture=1",
            f"OnLoadEnd url={second} status=200",
            f"OnBeforeBrowse url={second} redirect=0 gesture=1",
            f"OnLoadStart url={second}",
            f"OnLoadEnd url={second} status=200",
        ])
        self.assertEqual([r["path"] for r in self.service.requests()],
                         ["/engine/page", "/engine/script.js", "/engine/second", "/engine/second"])

    def test_a_cancelled_navigation_leaves_the_page(self):
        page, second = self.url("engine/page"), self.url("engine/second")
        lines = self.run_ok([f"browser {page}", f"wait OnLoadEnd url={page}", f"load {second}",
                             f"wait OnBeforeBrowse url={second}", "sleep 1000"],
                            "--cancel=engine/second")
        self.assertEqual([l for l in lines if l.startswith(("OnLoadStart", "OnLoadError"))],
                         [f"OnLoadStart url={page}"])
        self.assertNotIn("/engine/second", [r["path"] for r in self.service.requests()])


class Bridge(EngineTestCase):
    def test_a_page_calls_a_bound_function_and_hears_back_from_the_browser_process(self):
        bridge = self.url("engine/bridge")
        lines = self.run_ok([f"browser {bridge}", "wait message=reply 42", "close"])
        self.assertInOrder(lines, [
            f"OnLoadStart url={bridge}",
            "Message name=probe-call text=hello from page",
            "OnConsoleMessage level=2 line=5 source=" + bridge + " message=probeCall returned sent",
            "OnLoadEnd",
            "OnConsoleMessage level=2 line=4 source=" + bridge + " message=reply 42",
        ])
        call = next(l for l in lines if l.startswith("Message name=probe-call"))
        fields = dict(part.split("=", 1) for part in call.split(" ")[1:] if "=" in part)
        self.assertNotEqual(fields["pid"], fields["browserpid"])  # two real processes
        self.assertEqual(fields["source"], "1")  # PID_RENDERER
        # The renderer is this program again, with the browser's switches.
        command = next(l for l in lines if l.startswith("RendererCommandLine "))
        for switch in ["--type=renderer", "--probe-flag", "--probe-value=42", "--lang=zh-CN"]:
            self.assertIn(" " + switch, command)

    def test_bound_functions_see_values_as_the_engine_types_them(self):
        bridge = self.url("engine/bridge")
        lines = self.run_ok([f"browser {bridge}", "wait name=probe-types", "wait message=reply 42"])
        self.assertIn("OnConsoleMessage level=2 line=6 source=" + bridge +
                      " message=called back now during the call", lines)
        self.assertIn("OnConsoleMessage level=2 line=7 source=" + bridge +
                      " message=caught probeCall wants (text, callback)", lines)
        types = next(l for l in lines if l.startswith("Message name=probe-types "))
        self.assertEqual(types.split(" ", 2)[2].split(), [
            "IuD:1:", "IuD:-5:", "D:0:", "S:0:1", "OF:0:", "U:0:", "N:0:", "B:0:", "OA:0:",
            "O:0:", "IuD:-1:", "IuD:-2147483648:", "D:0:"])

    def test_broken_scripts_are_reported_and_the_page_goes_on(self):
        broken = self.url("engine/broken")
        lines = self.run_ok([f"browser {broken}", f"wait OnLoadEnd url={broken}"])
        console = [l for l in lines if l.startswith("OnConsoleMessage")]
        self.assertEqual(len(console), 4, console)
        self.assertEqual(console[0], "OnConsoleMessage level=4 line=0 source=" + broken +
                         " message=Failed to load resource: " + self.url("engine/missing.js") +
                         " (status 404)")
        self.assertTrue(console[1].startswith(
            f"OnConsoleMessage level=4 line=4 source={broken} message=Uncaught SyntaxError"), console[1])
        self.assertEqual(console[2], f"OnConsoleMessage level=4 line=6 source={broken} "
                                     "message=Uncaught Error: boom")
        self.assertEqual(console[3], f"OnConsoleMessage level=2 line=8 source={broken} "
                                     "message=still running")
        self.assertIn("OnTitleChange title=Broken scripts", lines)

    def test_texts_cross_the_processes_as_unicode(self):
        page = self.url("engine/unicode")
        lines = self.run_ok([f"browser {page}", f"wait OnLoadEnd url={page}"])
        self.assertIn("OnTitleChange title=直播大厅", lines)
        self.assertIn(f"OnConsoleMessage level=2 line=3 source={page} message=中文 4", lines)

    def test_timers_run_in_order_and_can_be_cancelled(self):
        timers = self.url("engine/timers")
        lines = self.run_ok([f"browser {timers}", "wait OnTitleChange title=Timers done"])
        console = [l.split(" message=", 1)[1] for l in lines if l.startswith("OnConsoleMessage")]
        self.assertEqual(console, ["onload", "string timer", "interval done 3",
                                   "timeout fired after the interval"])

    def test_process_messages_arrive_in_order_even_before_the_renderer_is_ready(self):
        page = self.url("engine/second")
        lines = self.run_ok([f"browser {page}", "msg probe-echo 1", "msg probe-echo 2",
                             "msg probe-echo 3", "wait name=probe-echoed value=3"])
        echoes = [l for l in lines if l.startswith("Message name=probe-echoed")]
        self.assertEqual(echoes, [f"Message name=probe-echoed value={n} renderthread=1"
                                  for n in (1, 2, 3)])

    def test_shutdown_closes_open_browsers_and_ends_the_renderer(self):
        bridge = self.url("engine/bridge")
        lines = self.run_ok([f"browser {bridge}", "wait message=reply 42", "shutdown",
                             "renderer-gone"])
        self.assertInOrder(lines, ["OnBeforeClose id=1", "shutdown done", "renderer gone"])

    def test_a_renderer_that_dies_is_reported_and_replaced(self):
        bridge, second = self.url("engine/bridge"), self.url("engine/second")
        lines = self.run_ok([f"browser {bridge}", "wait message=reply 42", "kill-renderer",
                             "wait OnRenderProcessTerminated", f"load {second}",
                             f"wait OnLoadEnd url={second}"])
        self.assertInOrder(lines, [
            "OnRenderProcessTerminated id=1 status=2",
            f"OnLoadStart url={second}",
            "OnTitleChange title=Second page",  # the new renderer read the page
            f"OnLoadEnd url={second} status=200",
        ])

    def test_the_renderer_ends_with_the_browser_process(self):
        bridge = self.url("engine/bridge")
        code, lines = self.probe.run([f"browser {bridge}", "wait message=reply 42", "die"])
        self.assertEqual(code, 9, lines)
        marker = to_wine_path(self.probe.record)

        def renderer_running():
            out = subprocess.run(["ps", "-eo", "args"], stdout=subprocess.PIPE, text=True).stdout
            return any("--type=renderer" in l and "cef-probe" in l and
                       marker.replace("\\", "/") in l.replace("\\", "/") for l in out.splitlines())
        self.assertTrue(wait_for(lambda: not renderer_running(), 15))


class RendererCannotStart(EngineTestCase):
    def test_the_failure_is_logged_the_load_ends_and_the_browser_still_closes(self):
        not_a_program = os.path.join(self.workdir, "not-a-program.exe")
        with open(not_a_program, "w") as f:
            f.write("this text is no executable\n")
        cases = [
            ("missing", os.path.join(self.workdir, "no-such-renderer.exe")),
            ("not a program", not_a_program),
        ]
        page = self.url("engine/second")
        for name, renderer in cases:
            with self.subTest(renderer=name):
                if os.path.exists(self.probe.log):
                    os.remove(self.probe.log)
                lines = self.run_ok([f"browser {page}", "wait OnLoadingStateChange loading=0",
                                     "close"], "--subprocess=" + to_wine_path(renderer))
                # The committed page is given up, not left loading for ever; the client hears
                # that there is no renderer, and the close protocol still runs to its end.
                self.assertInOrder(lines, [
                    "OnAfterCreated id=1",
                    f"OnLoadStart url={page}",
                    "OnLoadingStateChange loading=0",
                    "OnRenderProcessTerminated id=1 status=0",
                    "DoClose id=1", "WM_CLOSE 2", "OnBeforeClose id=1",
                    "probe-exit 0",
                ])
                self.assertEqual([l for l in lines if l.startswith(("OnLoadEnd", "OnTitleChange"))],
                                 [])
                self.assertRegex(self.probe.log_text(),
                                 r":ERROR:engine\] cannot start the renderer process, error [1-9]")


class PopupsAndInput(EngineTestCase):
    def test_new_tab_links_and_window_open_ask_before_popup(self):
        page = self.url("engine/page")
        lines = self.run_ok([
            f"browser {page}", f"wait OnLoadEnd url={page}",
            "key 9", "key 13", "wait disposition=3",
            "key 9", "key 13", "wait from=button",
            "js window.open('second?from=script')", "wait from=script"])
        popups = [l for l in lines if l.startswith("OnBeforePopup")]
        self.assertEqual(popups, [
            f"OnBeforePopup url={self.url('engine/second')} name= disposition=3 gesture=1",
            f"OnBeforePopup url={self.url('engine/second?from=button')} name= disposition=5 gesture=1",
            f"OnBeforePopup url={self.url('engine/second?from=script')} name= disposition=5 gesture=0",
        ])
        # Cancelled pop-ups open nothing.
        self.assertEqual([l for l in lines if l.startswith("OnAfterCreated")][1:], [])

    def test_a_mouse_click_on_a_link_activates_it(self):
        page = self.url("engine/page")
        lines = self.run_ok([f"browser {page}", f"wait OnLoadEnd url={page}", "sleep 300",
                             "click-link", "wait OnBeforePopup"])
        self.assertIn(f"OnBeforePopup url={self.url('engine/second')} name= disposition=3 gesture=1",
                      lines)

    def test_an_allowed_popup_opens_its_own_browser_with_the_same_client(self):
        page, second = self.url("engine/page"), self.url("engine/second")
        lines = self.run_ok([f"browser {page}", f"wait OnLoadEnd url={page}", "key 9", "key 13",
                             f"wait OnLoadEnd url={second}", "close"], "--allow-popups")
        self.assertInOrder(lines, [
            "OnBeforePopup", "OnAfterCreated id=2 popup=1 class=CefBrowserWindow parent=0",
            f"OnBeforeBrowse url={second}", f"OnLoadEnd url={second} status=200"])
        self.assertIn("OnBeforeClose id=2", lines)
        self.assertIn("OnBeforeClose id=1", lines)

    def test_keys_menu_drop_and_fullscreen_reach_their_handlers(self):
        page = self.url("engine/page")
        dropped = os.path.join(self.workdir, "dropped.html")
        with open(dropped, "w") as f:
            f.write("<title>Dropped</title><p>dropped file</p>")
        lines = self.run_ok([
            f"browser {page}", f"wait OnLoadEnd url={page}",
            "key 27", "wait OnPreKeyEvent type=0 code=27 msg=0x100",
            "rclick 40 60", "wait OnBeforeContextMenu",
            "js document.documentElement.webkitRequestFullscreen()", "wait OnFullscreenModeChange 1",
            "js document.webkitExitFullscreen()", "wait OnFullscreenModeChange 0",
            "js document.webkitExitFullscreen()",
            f"drop {to_wine_path(dropped)}", "wait OnDragEnter", "sleep 500"])
        self.assertIn("OnBeforeContextMenu items=4 x=40 y=60", lines)
        self.assertEqual([l for l in lines if l.startswith("OnFullscreenModeChange")],
                         ["OnFullscreenModeChange 1", "OnFullscreenModeChange 0"])
        self.assertIn(f"OnDragEnter files={to_wine_path(dropped)}|", lines)
        # A refused drop navigates nowhere.
        self.assertEqual(len([l for l in lines if l.startswith("OnBeforeBrowse")]), 1)

    def test_a_menu_appears_only_when_the_client_leaves_items(self):
        page = self.url("engine/page")
        cleared = self.run_ok([f"browser {page}", f"wait OnLoadEnd url={page}", "rclick 40 60",
                               "wait OnBeforeContextMenu", "menu-check 1500"])
        self.assertIn("no menu", cleared)
        kept = self.run_ok([f"browser {page}", f"wait OnLoadEnd url={page}", "rclick 40 60",
                            "wait OnBeforeContextMenu", "menu-check 5000", "close"], "--keep-menu")
        self.assertInOrder(kept, ["OnBeforeContextMenu items=4", "menu shown", "OnBeforeClose id=1"])

    def test_an_accepted_drop_opens_the_file(self):
        page = self.url("engine/page")
        dropped = os.path.join(self.workdir, "dropped.html")
        with open(dropped, "w") as f:
            f.write("<title>Dropped</title><p>dropped file</p>")
        lines = self.run_ok([f"browser {page}", f"wait OnLoadEnd url={page}",
                             f"drop {to_wine_path(dropped)}", "wait OnTitleChange title=Dropped"],
                            "--accept-drop")
        self.assertInOrder(lines, ["OnDragEnter", "OnBeforeBrowse url=file:///Z:/", "OnLoadEnd url=file:///"])


class Painting(EngineTestCase):
    def test_the_host_window_paints_the_page_text(self):
        page = self.url("engine/page")
        shot = os.path.join(self.workdir, "engine-page.bmp")
        blank = os.path.join(self.workdir, "blank.bmp")
        lines = self.run_ok([
            "browser about:blank", "wait OnLoadEnd url=about:blank", "sleep 300",
            f"capture {to_wine_path(blank)}", f"load {page}", f"wait OnLoadEnd url={page}",
            "sleep 300", f"capture {to_wine_path(shot)}"])
        captures = [l for l in lines if l.startswith("capture ")]
        self.assertEqual(len(captures), 2, lines)
        dark = [int(c.rsplit("dark=", 1)[1]) for c in captures]
        self.assertEqual(dark[0], 0)       # an empty page is all white
        self.assertGreater(dark[1], 500)   # the page's title and text are there
        self.assertTrue(os.path.getsize(shot) > 900 * 560 * 4)
        keep = os.environ.get("ZARVIK_ENGINE_SCREENSHOT")
        if keep:
            with open(shot, "rb") as src, open(keep, "wb") as dst:
                dst.write(src.read())


if __name__ == "__main__":
    unittest.main()
