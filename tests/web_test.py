#!/usr/bin/python3
"""The page, brenvik.html, driven in Chromium, Firefox ESR and WebKit from
file:// and from a server on 127.0.0.1. Each download is compared byte for
byte with the native tool's output for the same game and donor.

  web_test.py PAGE NATIVE_TOOL TEST_IMAGE_TOOL SCRATCH [--big] [--bench N]
              [--engines chromium,firefox,webkit]

Chromium and WebKit are driven through Selenium (chromedriver and
WebKitWebDriver, the latter on an Xvfb display of its own); Firefox, for
which Debian has no driver, through puppeteer-core over WebDriver BiDi
(firefox/bridge.js, `npm ci` in tests/firefox first).

--big adds the 512 MiB dump from file:// in each engine; --bench N times
the page against the native tool on it, N runs each, from file:// and over
http, and prints the ratios and how much the browser grew.
"""
import functools
import hashlib
import http.server
import json
import os
import shutil
import socket
import statistics
import subprocess
import sys
import threading
import time

from selenium import webdriver
from selenium.webdriver.common.by import By
from selenium.webdriver.remote.remote_connection import RemoteConnection

# A driver command that hangs (a browser that never came up) fails its
# check instead of the whole run.
RemoteConnection.set_timeout(300)

# The browser is given files by absolute path.
PAGE, TOOL, IMAGE_TOOL, SCRATCH = map(os.path.abspath, sys.argv[1:5])
BIG = '--big' in sys.argv
BENCH_RUNS = int(sys.argv[sys.argv.index('--bench') + 1]) if '--bench' in sys.argv else 0
ENGINES = (sys.argv[sys.argv.index('--engines') + 1].split(',') if '--engines' in sys.argv
           else ['chromium', 'firefox', 'webkit'])
HERE = os.path.dirname(os.path.abspath(__file__))
WASM_LIMIT = 64 << 20
# What the browser may grow by while it fixes the dump: far less than one
# copy of its 400 MiB output.
GROWTH_LIMIT = 160 << 20

# The benchmark's full dump: 4096 files behind the FAT, a signature, 0xFF
# fill to 512 MiB.
BIG_USED = 0x80000 + 4096 * 0x19900
BIG_GAME = f"""size 0x20000000
arm7 0x40000 0x30000
fnt 0x70000 0x4000
fat 0x74000 0x8000
banner 0x7C000
used {BIG_USED:#x}
files 4096 0x80000 0x19900
fill {BIG_USED + 0x88:#x} 0x20000000 0xFF
"""
BROKEN_GAME = "size 0x100\n"
# Donors and games of two SDK versions, on either side of SDK 5: the
# sample images with module parameters in an ARM9 binary.
SDK_DONOR = """size 0x2000
arm9 0x200 0x200
arm7 0x800 0x300
fill 0x800 0xB00 {fill}
sdk 0x40 {version}
"""
SDK_GAME = """size 0x3000
arm9 0x200 0x100
sdk 0x40 {version}
arm7 0x400 0x180
fnt 0x600 0x40
fat 0x680 0x10
banner 0x700
used 0x1000
words 0x680 0x900 0x980 0x980 0xF00
fill 0x1088 0x3000 0xFF
"""


def make_image(path, description):
    text = path + '.txt'
    with open(text, 'w') as f:
        f.write(description)
    subprocess.run([IMAGE_TOOL, 'make', text, path], check=True)
    os.remove(text)


def native_output(game, donor):
    """The console tool's output for `game` with `donor` beside it, the
    seconds it took, and the arm7.bin it took from the donor."""
    folder = os.path.join(SCRATCH, 'native')
    shutil.rmtree(folder, ignore_errors=True)
    os.makedirs(folder)
    tool = os.path.join(folder, 'brenvik')
    shutil.copy(TOOL, tool)
    shutil.copy(donor, os.path.join(folder, 'donor.nds'))
    # Extracted once beforehand, so the timing is of the rebuild alone.
    subprocess.run([tool, os.path.join(folder, 'x.nds')], stdin=subprocess.DEVNULL,
                   stdout=subprocess.DEVNULL)
    copy = os.path.join(folder, os.path.basename(game))
    os.symlink(os.path.abspath(game), copy)
    start = time.monotonic()
    subprocess.run([tool, copy], stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, check=True)
    took = time.monotonic() - start
    output = copy[:-4] + '-arm7fixed.nds'
    return output, took, os.path.join(folder, 'arm7.bin')


def process_tree(root):
    """`root` and every process below it."""
    children = {}
    for pid in filter(str.isdigit, os.listdir('/proc')):
        try:
            with open(f'/proc/{pid}/stat') as f:
                parent = int(f.read().rsplit(')', 1)[1].split()[1])
            children.setdefault(parent, []).append(int(pid))
        except (OSError, IndexError, ValueError):
            pass
    tree, todo = [], [root]
    while todo:
        pid = todo.pop()
        tree.append(pid)
        todo.extend(children.get(pid, []))
    return tree


def tree_memory(root):
    """The resident bytes of `root` and all its descendants."""
    total = 0
    for pid in process_tree(root):
        try:
            with open(f'/proc/{pid}/status') as f:
                for line in f:
                    if line.startswith('VmRSS:'):
                        total += int(line.split()[1]) * 1024
        except OSError:
            pass
    return total


class PeakMemory:
    """Samples the browser's processes until stopped; `growth` is the peak
    over the start."""

    def __init__(self, root):
        self.root, self.start = root, tree_memory(root)
        self.peak, self.running = self.start, True
        self.thread = threading.Thread(target=self.sample, daemon=True)
        self.thread.start()

    def sample(self):
        while self.running:
            self.peak = max(self.peak, tree_memory(self.root))
            time.sleep(0.02)

    def growth(self):
        self.running = False
        self.thread.join()
        return self.peak - self.start


def digest(path):
    h = hashlib.sha256()
    with open(path, 'rb') as f:
        for block in iter(lambda: f.read(1 << 24), b''):
            h.update(block)
    return h.hexdigest()


class Server:
    """The build folder over http on 127.0.0.1, logging every request."""

    def __init__(self, folder):
        self.requests = []
        outer = self

        class Handler(http.server.SimpleHTTPRequestHandler):
            def log_message(self, *args):
                outer.requests.append(self.path)

        handler = functools.partial(Handler, directory=folder)
        self.httpd = http.server.ThreadingHTTPServer(('127.0.0.1', 0), handler)
        threading.Thread(target=self.httpd.serve_forever, daemon=True).start()
        self.url = f'http://127.0.0.1:{self.httpd.server_port}/{os.path.basename(PAGE)}'

    def stop(self):
        self.httpd.shutdown()


def wait(condition, what, seconds=120):
    deadline = time.monotonic() + seconds
    while not condition():
        if time.monotonic() > deadline:
            raise AssertionError(f'gave up waiting for {what}')
        time.sleep(0.05)


class Browser:
    """One engine with a profile and a download folder of its own. Each
    engine says how to start it, run a script, pick files, click and
    report console output; the page's contract is the same in all."""

    partial_suffixes = ()

    def __init__(self, downloads, profile):
        self.downloads, self.profile = downloads, profile
        os.makedirs(downloads, exist_ok=True)
        os.makedirs(profile, exist_ok=True)
        self.start()

    def open(self, url):
        self.goto(url)
        wait(lambda: 'Brenvik v' in self.text('log'), 'the worker to start', 60)

    def text(self, element_id):
        return self.script(f"return document.getElementById('{element_id}').textContent")

    def results_state(self):
        return self.script("return document.getElementById('results').dataset.state")

    def link_names(self):
        return self.script("return [...document.querySelectorAll('#results a[download]')]"
                           ".map(a => a.getAttribute('download'))")

    def run_batch(self, *games, then=None, seconds=120):
        """Picks `games`, calls `then` (which may pick the replacement the
        games wait for), waits for the batch to start and end, and returns
        the names of the links."""
        self.script(
            "window.__states = []; new MutationObserver(function () {"
            " window.__states.push(document.getElementById('results').dataset.state);"
            "}).observe(document.getElementById('results'), {attributes: true,"
            " attributeFilter: ['data-state']}); return true;")
        self.pick('games', *games)
        if then:
            then()
        wait(lambda: 'working' in self.script('return window.__states')
             and self.results_state() == 'done', 'the batch to end', seconds)
        return self.link_names()

    def download(self, name, size):
        """Clicks the link named `name` and waits for the whole file."""
        path = os.path.join(self.downloads, name)
        for stale in os.listdir(self.downloads):
            os.remove(os.path.join(self.downloads, stale))
        self.click_link(self.link_names().index(name))

        def complete():
            names = os.listdir(self.downloads)
            return (name in names and os.path.getsize(path) == size and
                    not any(n.endswith(self.partial_suffixes) for n in names))
        # A click the engine's driver drops now and then (seen in WebKit) is
        # clicked again on a small game of which nothing has appeared in
        # half a minute; what arrives is still compared byte for byte.
        for _ in range(3 if size < (64 << 20) else 0):
            try:
                wait(complete, f'the download of {name}', 30)
                return path
            except AssertionError:
                if os.listdir(self.downloads):
                    break
                self.click_link(self.link_names().index(name))
        wait(complete, f'the download of {name}', 600)
        return path

    def resource_loads(self):
        return self.script("return performance.getEntriesByType('resource').map(e => e.name)")

    def wasm_bytes(self):
        return int(self.script("return document.getElementById('results').dataset.wasmBytes"))


class Chromium(Browser):
    name = 'chromium'
    partial_suffixes = ('.crdownload',)

    def start(self):
        options = webdriver.ChromeOptions()
        options.binary_location = '/usr/bin/chromium'
        for flag in ['--headless=new', '--no-sandbox', '--disable-dev-shm-usage',
                     '--disable-gpu', '--no-first-run', '--disable-background-networking',
                     '--disable-component-update', '--disable-sync', '--disable-quic',
                     f'--user-data-dir={self.profile}', '--window-size=900,1200']:
            options.add_argument(flag)
        options.add_experimental_option('prefs', {
            'download.default_directory': self.downloads,
            'download.prompt_for_download': False,
            'profile.default_content_setting_values.automatic_downloads': 1,
        })
        options.set_capability('goog:loggingPrefs', {'browser': 'ALL'})
        service = webdriver.chrome.service.Service(executable_path='/usr/bin/chromedriver')
        self.driver = webdriver.Chrome(service=service, options=options)
        self.driver.execute_cdp_cmd('Browser.setDownloadBehavior',
                                    {'behavior': 'allow', 'downloadPath': self.downloads})
        self.root = self.driver.service.process.pid

    def goto(self, url):
        self.driver.get(url)

    def script(self, body):
        return self.driver.execute_script(body)

    def pick(self, element_id, *paths):
        self.driver.find_element(By.ID, element_id).send_keys('\n'.join(paths))

    def click(self, element_id):
        self.driver.find_element(By.ID, element_id).click()

    def click_link(self, index):
        self.driver.find_elements(By.CSS_SELECTOR, '#results a[download]')[index].click()

    def tab(self):
        webdriver.ActionChains(self.driver).send_keys('\ue004').perform()

    def narrow(self, width):
        self.driver.execute_cdp_cmd('Emulation.setDeviceMetricsOverride', {
            'width': width, 'height': 800, 'deviceScaleFactor': 1, 'mobile': True})

    def screenshot(self, path):
        self.driver.save_screenshot(path)

    def console(self):
        return [e['message'] for e in self.driver.get_log('browser')]

    def quit(self):
        self.driver.quit()


class Firefox(Browser):
    name = 'firefox'
    partial_suffixes = ('.part',)

    def start(self):
        # Firefox now and then comes up without a content process; a new
        # one serves.
        for attempt in range(3):
            self.bridge = subprocess.Popen(
                ['node', os.path.join(HERE, 'firefox', 'bridge.js'), self.profile,
                 self.downloads], stdin=subprocess.PIPE, stdout=subprocess.PIPE, text=True)
            self.root, self.calls = self.bridge.pid, 0
            if self.reply().get('value') == 'started':
                return
            self.bridge.kill()
        raise AssertionError('Firefox did not start')

    def reply(self):
        line = self.bridge.stdout.readline()
        return json.loads(line) if line else {'error': 'the bridge ended'}

    def call(self, command, *args):
        self.calls += 1
        self.bridge.stdin.write(json.dumps({'id': self.calls, 'command': command,
                                            'args': list(args)}) + '\n')
        self.bridge.stdin.flush()
        answer = self.reply()
        if 'error' in answer:
            raise AssertionError(f'firefox {command}: {answer["error"]}')
        return answer['value']

    def open(self, url):
        # Firefox may lose its first navigation: it is started again.
        for attempt in range(3):
            try:
                return Browser.open(self, url)
            except AssertionError:
                if attempt == 2:
                    raise
                self.quit()
                self.start()

    def goto(self, url):
        self.call('goto', url)

    def script(self, body):
        return self.call('script', body)

    def pick(self, element_id, *paths):
        self.call('pick', '#' + element_id, list(paths))

    def click(self, element_id):
        self.call('click', '#' + element_id, 0)

    def click_link(self, index):
        self.call('click', '#results a[download]', index)

    def tab(self):
        self.call('key', 'Tab')

    def narrow(self, width):
        self.call('viewport', width, 800)

    def screenshot(self, path):
        self.call('screenshot', path)

    def console(self):
        return self.call('problems')

    def quit(self):
        try:
            self.bridge.stdin.write(json.dumps({'id': 0, 'command': 'quit'}) + '\n')
            self.bridge.stdin.close()
            self.bridge.wait(30)
        except (OSError, subprocess.TimeoutExpired):
            self.bridge.kill()


class Xvfb:
    """A display of its own for WebKit, on whichever number is free; its
    log is kept beside the test's files."""

    def __init__(self, log_path):
        for attempt in range(5):
            read_end, write_end = os.pipe()
            with open(log_path, 'ab') as log:
                self.process = subprocess.Popen(
                    # -noreset: the display stays as it is when its last
                    # client leaves, between one browser and the next.
                    ['Xvfb', '-displayfd', str(write_end), '-noreset', '-screen', '0',
                     '1280x1024x24', '-nolisten', 'tcp'], pass_fds=[write_end],
                    stdin=subprocess.DEVNULL,
                    stdout=log, stderr=log)
            os.close(write_end)
            # The number and its line end come in two writes; the pipe is
            # closed only after both, or the server dies on the second.
            said = b''
            while not said.endswith(b'\n'):
                piece = os.read(read_end, 64)
                if not piece:
                    break
                said += piece
            number = said.decode().strip()
            os.close(read_end)
            self.display = ':' + number
            if number and self.serves(number):
                return
            self.stop()
        with open(log_path, errors='replace') as log:
            raise AssertionError('Xvfb gave no display: ' + log.read()[-2000:])

    def serves(self, number):
        """True when the server takes a connection and is still up a moment
        later: a server that gave up on its display ends at once."""
        deadline = time.monotonic() + 10
        while time.monotonic() < deadline and self.process.poll() is None:
            with socket.socket(socket.AF_UNIX) as connection:
                try:
                    connection.connect(f'/tmp/.X11-unix/X{number}')
                    time.sleep(0.5)
                    return self.process.poll() is None
                except OSError:
                    time.sleep(0.1)
        return False

    def stop(self):
        self.process.terminate()
        self.process.wait()


class WebKit(Browser):
    name = 'webkit'
    display = None  # an Xvfb, started with the first WebKit

    def start(self):
        if not WebKit.display:
            WebKit.display = Xvfb(os.path.join(SCRATCH, 'xvfb.log'))
        # Its home holds its settings and data; user-dirs.dirs names the
        # download folder.
        config = os.path.join(self.profile, 'config')
        os.makedirs(config, exist_ok=True)
        with open(os.path.join(config, 'user-dirs.dirs'), 'w') as f:
            f.write(f'XDG_DOWNLOAD_DIR="{self.downloads}"\n')
        options = webdriver.WebKitGTKOptions()
        options.binary_location = '/usr/lib/x86_64-linux-gnu/webkit2gtk-4.1/MiniBrowser'
        options.add_argument('--automation')
        # WebKitWebDriver takes its environment from this process: the
        # display and home are set for it alone.
        saved = dict(os.environ)
        os.environ.update(DISPLAY=WebKit.display.display, HOME=self.profile,
                          XDG_CONFIG_HOME=config,
                          XDG_DATA_HOME=os.path.join(self.profile, 'data'),
                          XDG_CACHE_HOME=os.path.join(self.profile, 'cache'))
        try:
            self.driver = webdriver.WebKitGTK(executable_path='/usr/bin/WebKitWebDriver',
                                              options=options)
        finally:
            os.environ.clear()
            os.environ.update(saved)
        self.root = self.driver.service.process.pid

    goto = Chromium.goto
    script = Chromium.script
    pick = Chromium.pick
    click = Chromium.click
    click_link = Chromium.click_link
    screenshot = Chromium.screenshot
    quit = Chromium.quit

    def console(self):
        return []  # WebKitWebDriver gives no console log


ENGINE_CLASSES = {'chromium': Chromium, 'firefox': Firefox, 'webkit': WebKit}
results = {'passed': 0, 'failed': 0}


def check(name, test):
    try:
        test()
        results['passed'] += 1
        print(f'ok    {name}', flush=True)
    except Exception as e:  # a failed check or a browser that broke
        results['failed'] += 1
        print(f'FAIL  {name}: {e!r}', flush=True)


def same_file(a, b):
    assert os.path.getsize(a) == os.path.getsize(b), f'{a} and {b} differ in size'
    assert digest(a) == digest(b), f'{a} and {b} differ'


def small_games(folder):
    os.makedirs(folder, exist_ok=True)
    game, donor = os.path.join(folder, 'game.nds'), os.path.join(folder, 'donor.nds')
    subprocess.run([IMAGE_TOOL, 'samples', game, donor], check=True)
    # A second game under a non-ASCII name whose last four characters are
    # not an extension, and one the rebuild refuses.
    second = os.path.join(folder, 'ゲーム版です')
    shutil.copy(game, second)
    broken = os.path.join(folder, 'broken.nds')
    make_image(broken, BROKEN_GAME)
    short = os.path.join(folder, 'abc')
    shutil.copy(game, short)
    return game, second, [broken, short], donor


def sdk_images(folder):
    """Donors d41.nds and d50.nds, games g42.nds and g50.nds, and the
    native outputs for the games with both donors to choose from."""
    donors = os.path.join(folder, 'donors')
    os.makedirs(donors, exist_ok=True)
    make_image(os.path.join(donors, 'd41.nds'), SDK_DONOR.format(fill=0x41, version=0x04010000))
    make_image(os.path.join(donors, 'd50.nds'), SDK_DONOR.format(fill=0x50, version=0x05000000))
    games = {}
    for name, version in (('g42.nds', 0x04027531), ('g50.nds', 0x05003001)):
        games[name] = os.path.join(folder, name)
        make_image(games[name], SDK_GAME.format(version=version))
        subprocess.run([TOOL, '--donors', donors, games[name]], stdin=subprocess.DEVNULL,
                       stdout=subprocess.DEVNULL, check=True)
    return [os.path.join(donors, d) for d in ('d41.nds', 'd50.nds')], games


def small_batches(engine, origin, url):
    label = f'{engine.name} {origin}'
    folder = os.path.join(SCRATCH, engine.name, origin)
    game, second, refused, donor = small_games(os.path.join(folder, 'in'))
    expected, _, arm7 = native_output(game, donor)
    raw = os.path.join(folder, 'in', 'arm7.bin')
    shutil.copy(arm7, raw)
    browser = engine(os.path.join(folder, 'downloads'), os.path.join(folder, 'profile'))
    try:
        browser.open(url)

        def donor_and_game():
            browser.pick('replacement', donor)
            wait(lambda: 'donor' in browser.text('chosen'), 'the donor to be taken')
            links = browser.run_batch(game)
            assert links == ['game-arm7fixed.nds'], links
            same_file(expected, browser.download(links[0], os.path.getsize(expected)))
        check(f'{label}: a donor and a game give the native output', donor_and_game)

        def several_with_a_refusal():
            links = browser.run_batch(game, second, *refused)
            assert links == ['game-arm7fixed.nds', 'ゲー-arm7fixed.nds'], links
            for name in links:
                same_file(expected, browser.download(name, os.path.getsize(expected)))
            log = browser.text('log')
            assert "The game's header is incomplete!" in log, log
            assert "The game's file name is too short!" in log, log
            assert '2 of 4 games fixed.' in log and 'Not fixed:\nbroken.nds\nabc\n' in log, log
            assert browser.script(
                "return document.querySelectorAll('#results li.refused').length") == 2
            browser.screenshot(os.path.join(SCRATCH, f'page-{engine.name}-{origin}.png'))
        check(f'{label}: four games at once, two refused without a download',
              several_with_a_refusal)

        def a_batch_that_cannot_begin():
            # The worker is sent a start it cannot take, once: its failure
            # is the start's own, each game is listed as itself, and the
            # next batch goes as ever.
            browser.script(
                "const post = Worker.prototype.postMessage;"
                "Worker.prototype.postMessage = function (m, t) {"
                "  if (m && m.type === 'begin') {"
                "    Worker.prototype.postMessage = post;"
                "    m = Object.assign({}, m, {type: 'begin?'});"
                "  }"
                "  return post.call(this, m, t);"
                "}; return true;")
            links = browser.run_batch(game, second)
            assert links == [], links
            listed = browser.script("return [...document.querySelectorAll("
                                    "'#results li.refused')].map(li => li.textContent)")
            assert listed == [name + ': not fixed; see the messages.'
                              for name in ('game.nds', 'ゲーム版です')], listed
            assert 'No such request: begin?' in browser.text('log')
            links = browser.run_batch(game)
            assert links == ['game-arm7fixed.nds'], links
            same_file(expected, browser.download(links[0], os.path.getsize(expected)))
        check(f'{label}: a batch the worker cannot begin fails as itself',
              a_batch_that_cannot_begin)

        def a_stray_reply_is_ignored():
            # The worker answers a request no page asked: a reply whose id
            # no request has, sent before the real reply to a game. The game
            # takes its own reply; the stray one is dropped.
            browser.script(
                "const post = Worker.prototype.postMessage;"
                "Worker.prototype.postMessage = function (m, t) {"
                "  const sent = post.call(this, m, t);"
                "  if (m && m.type === 'fix') {"
                "    Worker.prototype.postMessage = post;"
                "    this.dispatchEvent(new MessageEvent('message', {data: {type: 'fixed',"
                "      id: m.id + 1000, name: 'stray-arm7fixed.nds', blob: new Blob(['x']),"
                "      wasmBytes: 0}}));"
                "  }"
                "  return sent;"
                "}; return true;")
            links = browser.run_batch(game)
            assert links == ['game-arm7fixed.nds'], links
            same_file(expected, browser.download(links[0], os.path.getsize(expected)))
        check(f'{label}: a reply with an id no request has is ignored', a_stray_reply_is_ignored)

        def remembered_after_reload():
            browser.open(url)
            wait(lambda: 'donor' in browser.text('chosen'), 'the remembered donor')
            links = browser.run_batch(game)
            same_file(expected, browser.download(links[0], os.path.getsize(expected)))
        check(f'{label}: after a reload the remembered replacement is used',
              remembered_after_reload)

        def several_donors():
            # Each game takes the donor of its side of SDK 5, as the console
            # chooses; one donor across SDK 5 is warned of.
            donors, games = sdk_images(os.path.join(folder, 'sdk'))
            browser.pick('replacement', *donors)
            wait(lambda: '2 donors' in browser.text('chosen'), 'the donors to be taken')
            chosen = browser.text('chosen')
            assert 'd41.nds (SDK 4.1), d50.nds (SDK 5.0)' in chosen, chosen
            links = browser.run_batch(*games.values())
            assert links == ['g42-arm7fixed.nds', 'g50-arm7fixed.nds'], links
            for name, game in games.items():
                expected_output = game[:-4] + '-arm7fixed.nds'
                same_file(expected_output,
                          browser.download(links[list(games).index(name)],
                                           os.path.getsize(expected_output)))
            log = browser.text('log')
            assert ('[1/2] g42.nds\n\nUsing the arm7 binary of d41.nds (SDK 4.1).\n\n' in log and
                    '[2/2] g50.nds\n\nUsing the arm7 binary of d50.nds (SDK 5.0).\n\n' in log), log
            browser.pick('replacement', donors[0])
            wait(lambda: 'built with SDK 4.1 (0x04010000)' in browser.text('chosen'),
                 'the one donor')
            browser.run_batch(games['g50.nds'])
            assert ("Warning: the donor's arm7 binary was built with SDK 4.1, the game with "
                    "SDK 5.0;") in browser.text('log')
            # A bare binary tells its side of SDK 5 by its start code, also
            # when it is remembered from an earlier visit.
            bare = os.path.join(folder, 'sdk', 'side5.bin')
            with open(bare, 'wb') as out:
                out.write(bytes(0x20) + (0x02FFFFFA).to_bytes(4, 'little') + bytes(range(256)) * 3)
            browser.pick('replacement', bare)
            for visit in ('picked', 'remembered'):
                wait(lambda: 'built with SDK 5 or later' in browser.text('chosen'),
                     f'the {visit} binary\'s side')
                browser.run_batch(games['g42.nds'])
                assert ('side5.bin was built with SDK 5 or later, the game with SDK 4.2;'
                        in browser.text('log')), browser.text('log')
                browser.open(url)
            # Remembered as they were picked.
            browser.pick('replacement', *donors)
            wait(lambda: '2 donors' in browser.text('chosen'), 'the donors again')
            browser.open(url)
            wait(lambda: '2 donors' in browser.text('chosen'), 'the remembered donors')
        check(f'{label}: of several donors each game takes the one the console takes',
              several_donors)

        def a_game_gone_before_its_turn():
            # Forgotten, the replacement is asked for again; the games wait
            # for it, and one of them is gone by the time its turn comes.
            browser.click('forget')
            wait(lambda: 'None yet' in browser.text('chosen'), 'the forgetting')
            gone = os.path.join(folder, 'in', 'gone.nds')
            shutil.copy(game, gone)
            renamed = os.path.join(folder, 'in', 'my donor.nds')
            shutil.copy(donor, renamed)

            def remove_it_and_pick_the_donor():
                wait(lambda: 'Waiting' in browser.text('status'), 'the games to wait')
                os.remove(gone)
                browser.pick('replacement', renamed)
            links = browser.run_batch(game, gone, then=remove_it_and_pick_the_donor)
            assert links == ['game-arm7fixed.nds'], links
            log = browser.text('log')
            assert 'Extracting arm7.bin from my donor.nds...\n\n' in log, log
            assert 'The gone.nds could not be read; pick it again.\n\n' in log, log
            assert log.endswith('1 of 2 games fixed.\n\nNot fixed:\ngone.nds\n\n'), log
            assert 'not fixed' in browser.text('status'), browser.text('status')
        check(f'{label}: a game gone before its turn is said and counted, after #forget',
              a_game_gone_before_its_turn)

        def a_raw_binary():
            browser.pick('replacement', raw)
            wait(lambda: 'used as the ARM7 binary' in browser.text('chosen'), 'the binary')
            links = browser.run_batch(game)
            same_file(expected, browser.download(links[0], os.path.getsize(expected)))
        check(f'{label}: a raw arm7.bin gives the native output', a_raw_binary)

        def narrow_and_by_keyboard():
            browser.narrow(360)
            browser.open(url)
            width = browser.script('return document.documentElement.scrollWidth')
            assert width <= 360, f'the page is {width} px wide at 360'
            reached = set()
            for _ in range(8):
                browser.tab()
                reached.add(browser.script('return document.activeElement.id'))
            assert {'replacement', 'games', 'forget'} <= reached, reached
            unlabelled = browser.script(
                "return [...document.querySelectorAll('input, button')]"
                ".filter(e => !(e.labels && e.labels.length) && !e.textContent.trim()"
                " && !e.getAttribute('aria-label')).map(e => e.id)")
            assert unlabelled == [], unlabelled
        # MiniBrowser goes no narrower than about 450 px.
        if origin == 'file' and engine.name != 'webkit':
            check(f'{label}: usable at 360 px and by keyboard, every control labelled',
                  narrow_and_by_keyboard)

        def into_a_folder():
            # The folder picker needs a person; the browser's own private
            # folder stands in for the one a person would pick. Saves wait
            # until the test lets them go, so a game can change meanwhile.
            browser.script(
                'window.showDirectoryPicker = () => navigator.storage.getDirectory();'
                'const create = FileSystemFileHandle.prototype.createWritable;'
                'window.__held = new Promise(r => window.__release = r);'
                'FileSystemFileHandle.prototype.createWritable = function (...a) {'
                '  return window.__held.then(() => create.apply(this, a)); };')
            browser.click('folder')
            wait(lambda: 'also saved' in browser.text('folder-name'), 'the folder to be taken')
            browser.run_batch(game)  # done before its save
            browser.script('window.__release()')
            wait(lambda: 'saved in' in browser.text('results'), 'the save')
            saved = browser.driver.execute_async_script(
                "const done = arguments[0];"
                "navigator.storage.getDirectory()"
                ".then(d => d.getFileHandle('game-arm7fixed.nds'))"
                ".then(h => h.getFile()).then(f => f.arrayBuffer())"
                ".then(b => crypto.subtle.digest('SHA-256', b))"
                ".then(h => done([...new Uint8Array(h)].map(x => x.toString(16)"
                ".padStart(2, '0')).join('')), e => done(String(e)));")
            assert saved == digest(expected), saved

            changing = os.path.join(folder, 'in', 'changing.nds')
            shutil.copy(game, changing)
            browser.script('window.__held = new Promise(r => window.__release = r);')
            browser.run_batch(changing)
            with open(changing, 'ab') as f:
                f.write(b'\0')
            later = time.time() + 10
            os.utime(changing, (later, later))
            browser.script('window.__release()')
            wait(lambda: 'could not be saved' in browser.text('log'), 'the refused save')
            assert ('changing-arm7fixed.nds could not be saved: the game changed on disk '
                    'since it was picked; pick it again.\n\n') in browser.text('log')
        if origin == 'http' and engine.name == 'chromium':
            check(f'{label}: saved into a chosen folder, and said when the game changed',
                  into_a_folder)

        def nothing_requested():
            loads, console = browser.resource_loads(), browser.console()
            assert loads == [] and console == [], (loads, console)
        check(f'{label}: no request after the page, nothing on the console', nothing_requested)
    finally:
        browser.quit()


def big_dump(engine, origin, url, runs):
    label = f'{engine.name} {origin}'
    folder = os.path.join(SCRATCH, 'big')
    os.makedirs(folder, exist_ok=True)
    game, donor = os.path.join(folder, 'dump.nds'), os.path.join(folder, 'donor.nds')
    if not os.path.exists(game):
        make_image(game, BIG_GAME)
        subprocess.run([IMAGE_TOOL, 'samples', os.path.join(folder, 'unused.nds'), donor],
                       check=True)
    native_times = []
    for _ in range(max(1, runs)):
        expected, took, _ = native_output(game, donor)
        native_times.append(took)
    browser = engine(os.path.join(folder, 'downloads'),
                     os.path.join(folder, f'profile-{engine.name}-{origin}'))
    page_times, fix_growth, save_growth = [], [], []
    size = os.path.getsize(expected)
    try:
        browser.open(url)
        browser.pick('replacement', donor)
        wait(lambda: 'donor' in browser.text('chosen'), 'the donor to be taken')
        for run in range(max(1, runs)):
            memory = PeakMemory(browser.root)
            start = time.monotonic()
            links = browser.run_batch(game, seconds=600)
            page_times.append(time.monotonic() - start)
            fix_growth.append(memory.growth())
            memory = PeakMemory(browser.root)
            path = browser.download(links[0], size)
            save_growth.append(memory.growth())
        same_file(expected, path)
        wasm = browser.wasm_bytes()
        assert wasm <= WASM_LIMIT, f'WebAssembly memory {wasm} bytes'
        assert max(fix_growth) <= GROWTH_LIMIT, \
            f'the browser grew by {max(fix_growth) >> 20} MiB while it fixed the dump'
        if runs:
            n, p = statistics.median(native_times), statistics.median(page_times)
            print(f'bench {label}: 512 MiB dump, native {n:.2f} s, page {p:.2f} s '
                  f'(median of {runs}; page range {min(page_times):.2f}-{max(page_times):.2f} s), '
                  f'ratio {p / n:.2f}x, WebAssembly memory {wasm >> 20} MiB, '
                  f'browser grew by {max(fix_growth) >> 20} MiB while fixing and '
                  f'{max(save_growth) >> 20} MiB while saving a {size >> 20} MiB output',
                  flush=True)
    finally:
        browser.quit()
        shutil.rmtree(os.path.join(folder, 'downloads'), ignore_errors=True)


def main():
    shutil.rmtree(SCRATCH, ignore_errors=True)
    os.makedirs(SCRATCH)
    page = os.path.abspath(PAGE)
    server = Server(os.path.dirname(page))
    try:
        for name in ENGINES:
            engine = ENGINE_CLASSES[name]
            server.requests.clear()
            small_batches(engine, 'file', 'file://' + page)
            small_batches(engine, 'http', server.url)

            def only_the_page_served():
                assert set(server.requests) == {'/' + os.path.basename(page)}, server.requests
            check(f'{name} http: the server was asked for the page alone', only_the_page_served)
            if BIG or BENCH_RUNS:
                check(f'{name} file: a 512 MiB dump gives the native output in at most 64 MiB '
                      'of WebAssembly memory, the browser holding no copy of it',
                      lambda: big_dump(engine, 'file', 'file://' + page, BENCH_RUNS))
            if BENCH_RUNS:
                check(f'{name} http: the 512 MiB dump over http',
                      lambda: big_dump(engine, 'http', server.url, BENCH_RUNS))
    finally:
        server.stop()
        if WebKit.display:
            WebKit.display.stop()
        shutil.rmtree(os.path.join(SCRATCH, 'big'), ignore_errors=True)
        shutil.rmtree(os.path.join(SCRATCH, 'native'), ignore_errors=True)
    print(f"web: {results['passed']} passed, {results['failed']} failed", flush=True)
    return 1 if results['failed'] else 0


if __name__ == '__main__':
    sys.exit(main())
