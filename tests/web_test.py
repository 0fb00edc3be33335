#!/usr/bin/python3
"""The page, brenvik.html, driven in headless Chromium from file:// and
from a server on 127.0.0.1. Each download is compared byte for byte with
the native tool's output for the same game and donor.

  web_test.py PAGE NATIVE_TOOL TEST_IMAGE_TOOL SCRATCH [--big] [--bench N]

--big adds the 512 MiB dump; --bench N times the page against the native
tool on it, N runs each, from file:// and over http, and prints the ratios.
"""
import functools
import hashlib
import http.server
import os
import shutil
import statistics
import subprocess
import sys
import threading
import time

from selenium import webdriver
from selenium.webdriver.common.by import By
from selenium.webdriver.common.keys import Keys

# The browser is given files by absolute path.
PAGE, TOOL, IMAGE_TOOL, SCRATCH = map(os.path.abspath, sys.argv[1:5])
BIG = '--big' in sys.argv
BENCH_RUNS = int(sys.argv[sys.argv.index('--bench') + 1]) if '--bench' in sys.argv else 0
WASM_LIMIT = 64 << 20

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


def make_image(path, description):
    text = path + '.txt'
    with open(text, 'w') as f:
        f.write(description)
    subprocess.run([IMAGE_TOOL, 'make', text, path], check=True)
    os.remove(text)


def native_output(game, donor):
    """The console tool's output for `game` with `donor` beside it, and the
    seconds it took."""
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
    return output, took


def browser_memory(profile):
    """The resident bytes of every browser process of this profile."""
    total = 0
    for pid in filter(str.isdigit, os.listdir('/proc')):
        try:
            with open(f'/proc/{pid}/cmdline', 'rb') as f:
                if profile.encode() not in f.read():
                    continue
            with open(f'/proc/{pid}/status') as f:
                for line in f:
                    if line.startswith('VmRSS:'):
                        total += int(line.split()[1]) * 1024
        except OSError:
            pass
    return total


class PeakMemory:
    """Samples `browser_memory` until stopped; `growth` is the peak over
    the start."""

    def __init__(self, profile):
        self.profile, self.start = profile, browser_memory(profile)
        self.peak, self.running = self.start, True
        self.thread = threading.Thread(target=self.sample, daemon=True)
        self.thread.start()

    def sample(self):
        while self.running:
            self.peak = max(self.peak, browser_memory(self.profile))
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


class Browser:
    def __init__(self, downloads, profile):
        self.downloads = downloads
        os.makedirs(downloads, exist_ok=True)
        options = webdriver.ChromeOptions()
        options.binary_location = '/usr/bin/chromium'
        for flag in ['--headless=new', '--no-sandbox', '--disable-dev-shm-usage',
                     '--disable-gpu', '--no-first-run', '--disable-background-networking',
                     '--disable-component-update', '--disable-sync', '--disable-quic',
                     f'--user-data-dir={profile}', '--window-size=900,1200']:
            options.add_argument(flag)
        options.add_experimental_option('prefs', {
            'download.default_directory': downloads,
            'download.prompt_for_download': False,
            'profile.default_content_setting_values.automatic_downloads': 1,
        })
        options.set_capability('goog:loggingPrefs', {'browser': 'ALL'})
        service = webdriver.chrome.service.Service(executable_path='/usr/bin/chromedriver')
        self.driver = webdriver.Chrome(service=service, options=options)
        self.driver.execute_cdp_cmd('Browser.setDownloadBehavior',
                                    {'behavior': 'allow', 'downloadPath': downloads})

    def open(self, url):
        self.driver.get(url)
        self.wait(lambda: 'Brenvik v' in self.text('log'), 'the worker to start')

    def text(self, element_id):
        return self.driver.find_element(By.ID, element_id).get_attribute('textContent')

    def wait(self, condition, what, seconds=600):
        deadline = time.monotonic() + seconds
        while not condition():
            if time.monotonic() > deadline:
                raise AssertionError(f'gave up waiting for {what}')
            time.sleep(0.05)

    def pick(self, element_id, *paths):
        self.driver.find_element(By.ID, element_id).send_keys('\n'.join(paths))

    def results_state(self):
        return self.driver.find_element(By.ID, 'results').get_attribute('data-state')

    def run_batch(self, *games, then=None):
        """Picks `games`, calls `then` (which may pick the replacement the
        games wait for), waits for the batch to start and end, and returns
        the links: [(name, element)]."""
        started = self.driver.execute_script(
            "window.__states = []; new MutationObserver(function () {"
            " window.__states.push(document.getElementById('results').dataset.state);"
            "}).observe(document.getElementById('results'), {attributes: true,"
            " attributeFilter: ['data-state']}); return true;")
        assert started
        self.pick('games', *games)
        if then:
            then()
        self.wait(lambda: 'working' in self.driver.execute_script('return window.__states')
                  and self.results_state() == 'done', 'the batch to end')
        return [(a.get_attribute('download'), a) for a in
                self.driver.find_elements(By.CSS_SELECTOR, '#results a[download]')]

    def download(self, name, link, size):
        path = os.path.join(self.downloads, name)
        if os.path.exists(path):
            os.remove(path)
        link.click()
        self.wait(lambda: os.path.exists(path) and os.path.getsize(path) == size and
                  not os.path.exists(path + '.crdownload'), f'the download of {name}')
        return path

    def requests_made(self):
        """Resource loads after the page itself, and errors in the log (a
        blocked load would be one)."""
        loads = self.driver.execute_script(
            "return performance.getEntriesByType('resource').map(e => e.name)")
        errors = [e['message'] for e in self.driver.get_log('browser') if e['level'] == 'SEVERE']
        return loads, errors

    def wasm_bytes(self):
        return int(self.driver.find_element(By.ID, 'results').get_attribute('data-wasm-bytes'))

    def quit(self):
        self.driver.quit()


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


def small_batches(origin, url):
    folder = os.path.join(SCRATCH, origin)
    game, second, refused, donor = small_games(os.path.join(folder, 'in'))
    expected, _ = native_output(game, donor)
    browser = Browser(os.path.join(folder, 'downloads'), os.path.join(folder, 'profile'))
    try:
        browser.open(url)

        def donor_and_game():
            browser.pick('replacement', donor)
            browser.wait(lambda: 'donor' in browser.text('chosen'), 'the donor to be taken')
            links = browser.run_batch(game)
            assert [name for name, _ in links] == ['game-arm7fixed.nds'], links
            same_file(expected, browser.download(*links[0], os.path.getsize(expected)))
        check(f'{origin}: a donor and a game give the native output', donor_and_game)

        def several_with_a_refusal():
            links = browser.run_batch(game, second, *refused)
            names = [name for name, _ in links]
            assert names == ['game-arm7fixed.nds', 'ゲー-arm7fixed.nds'], names
            for name, link in links:
                same_file(expected, browser.download(name, link, os.path.getsize(expected)))
            log = browser.text('log')
            assert "The game's header is incomplete!" in log, log
            assert "The game's file name is too short!" in log, log
            assert '2 of 4 games fixed.' in log and 'Not fixed:\nbroken.nds\nabc\n' in log, log
            assert len(browser.driver.find_elements(By.CSS_SELECTOR, '#results li.refused')) == 2
            browser.driver.save_screenshot(os.path.join(SCRATCH, f'page-{origin}.png'))
        check(f'{origin}: four games at once, two refused without a download',
              several_with_a_refusal)

        def remembered_after_reload():
            browser.open(url)
            browser.wait(lambda: 'donor' in browser.text('chosen'), 'the remembered donor')
            links = browser.run_batch(game)
            same_file(expected, browser.download(*links[0], os.path.getsize(expected)))
        check(f'{origin}: after a reload the remembered replacement is used',
              remembered_after_reload)

        def a_game_gone_before_its_turn():
            # Forgotten, the replacement is asked for again; the games wait
            # for it, and one of them is gone by the time its turn comes.
            browser.driver.find_element(By.ID, 'forget').click()
            browser.wait(lambda: 'None yet' in browser.text('chosen'), 'the forgetting')
            gone = os.path.join(folder, 'in', 'gone.nds')
            shutil.copy(game, gone)

            def remove_it_and_pick_the_donor():
                browser.wait(lambda: 'Waiting' in browser.text('status'), 'the games to wait')
                os.remove(gone)
                browser.pick('replacement', donor)
            links = browser.run_batch(game, gone, then=remove_it_and_pick_the_donor)
            assert [name for name, _ in links] == ['game-arm7fixed.nds'], links
            log = browser.text('log')
            assert log.endswith('1 of 2 games fixed.\n\nNot fixed:\ngone.nds\n\n'), log
            assert 'not fixed' in browser.text('status'), browser.text('status')
        check(f'{origin}: a game gone before its turn is counted as not fixed, after #forget',
              a_game_gone_before_its_turn)

        def narrow_and_by_keyboard():
            driver = browser.driver
            driver.execute_cdp_cmd('Emulation.setDeviceMetricsOverride', {
                'width': 360, 'height': 800, 'deviceScaleFactor': 1, 'mobile': True})
            browser.open(url)
            width = driver.execute_script('return document.documentElement.scrollWidth')
            assert width <= 360, f'the page is {width} px wide at 360'
            reached = set()
            for _ in range(8):
                webdriver.ActionChains(driver).send_keys(Keys.TAB).perform()
                reached.add(driver.switch_to.active_element.get_attribute('id'))
            assert {'replacement', 'games', 'forget'} <= reached, reached
            unlabelled = driver.execute_script(
                "return [...document.querySelectorAll('input, button')]"
                ".filter(e => !(e.labels && e.labels.length) && !e.textContent.trim()"
                " && !e.getAttribute('aria-label')).map(e => e.id)")
            assert unlabelled == [], unlabelled
            driver.execute_cdp_cmd('Emulation.clearDeviceMetricsOverride', {})
        if origin == 'file':
            check('file: usable at 360 px and by keyboard, every control labelled',
                  narrow_and_by_keyboard)

        def into_a_folder():
            # The folder picker needs a person; the browser's own private
            # folder stands in for the one a person would pick.
            driver = browser.driver
            driver.execute_script(
                'window.showDirectoryPicker = () => navigator.storage.getDirectory();')
            driver.find_element(By.ID, 'folder').click()
            browser.wait(lambda: 'also saved' in browser.text('folder-name'),
                         'the folder to be taken')
            browser.run_batch(game)
            browser.wait(lambda: 'saved in' in browser.text('results'), 'the save')
            saved = driver.execute_async_script(
                "const done = arguments[0];"
                "navigator.storage.getDirectory()"
                ".then(d => d.getFileHandle('game-arm7fixed.nds'))"
                ".then(h => h.getFile()).then(f => f.arrayBuffer())"
                ".then(b => crypto.subtle.digest('SHA-256', b))"
                ".then(h => done([...new Uint8Array(h)].map(x => x.toString(16)"
                ".padStart(2, '0')).join('')), e => done(String(e)));")
            assert saved == digest(expected), saved
        if origin == 'http':
            check('http: the fixed game saved into a chosen folder', into_a_folder)

        def nothing_requested():
            loads, errors = browser.requests_made()
            assert loads == [] and errors == [], (loads, errors)
        check(f'{origin}: no request after the page, no error in the log', nothing_requested)
    finally:
        browser.quit()


def big_dump(origin, url, runs):
    folder = os.path.join(SCRATCH, 'big')
    os.makedirs(folder, exist_ok=True)
    game, donor = os.path.join(folder, 'dump.nds'), os.path.join(folder, 'donor.nds')
    if not os.path.exists(game):
        make_image(game, BIG_GAME)
        subprocess.run([IMAGE_TOOL, 'samples', os.path.join(folder, 'unused.nds'), donor],
                       check=True)
    native_times = []
    for _ in range(max(1, runs)):
        expected, took = native_output(game, donor)
        native_times.append(took)
    profile = os.path.join(folder, f'profile-{origin}')
    browser = Browser(os.path.join(folder, 'downloads'), profile)
    page_times = []
    try:
        browser.open(url)
        browser.pick('replacement', donor)
        browser.wait(lambda: 'donor' in browser.text('chosen'), 'the donor to be taken')
        for run in range(max(1, runs)):
            memory = PeakMemory(profile)
            start = time.monotonic()
            links = browser.run_batch(game)
            page_times.append(time.monotonic() - start)
            growth = memory.growth()
        size = os.path.getsize(expected)
        # One copy of the output at the most, none of the input.
        assert growth <= size + (256 << 20), f'the browser grew by {growth >> 20} MiB'

        same_file(expected, browser.download(*links[0], size))
        memory = browser.wasm_bytes()
        assert memory <= WASM_LIMIT, f'WebAssembly memory {memory} bytes'
        if runs:
            n, p = statistics.median(native_times), statistics.median(page_times)
            print(f'bench {origin}: 512 MiB dump, native {n:.2f} s, page {p:.2f} s '
                  f'(median of {runs}; page range {min(page_times):.2f}-{max(page_times):.2f} s), '
                  f'ratio {p / n:.1f}x, WebAssembly memory {memory >> 20} MiB, '
                  f'browser grew by {growth >> 20} MiB for a {size >> 20} MiB output', flush=True)
    finally:
        browser.quit()
        shutil.rmtree(os.path.join(folder, 'downloads'), ignore_errors=True)


def main():
    shutil.rmtree(SCRATCH, ignore_errors=True)
    os.makedirs(SCRATCH)
    page = os.path.abspath(PAGE)
    server = Server(os.path.dirname(page))
    try:
        small_batches('file', 'file://' + page)
        small_batches('http', server.url)

        def only_the_page_served():
            assert set(server.requests) == {'/' + os.path.basename(page)}, server.requests
        check('http: the server was asked for the page alone', only_the_page_served)
        if BIG or BENCH_RUNS:
            check('file: a 512 MiB dump gives the native output in at most 64 MiB of '
                  'WebAssembly memory, the browser holding one copy of it at the most', lambda: big_dump('file', 'file://' + page, BENCH_RUNS))
        if BENCH_RUNS:
            check('http: the 512 MiB dump over http', lambda: big_dump('http', server.url, BENCH_RUNS))
    finally:
        server.stop()
        shutil.rmtree(os.path.join(SCRATCH, 'big'), ignore_errors=True)
        shutil.rmtree(os.path.join(SCRATCH, 'native'), ignore_errors=True)
    print(f"web: {results['passed']} passed, {results['failed']} failed", flush=True)
    return 1 if results['failed'] else 0


if __name__ == '__main__':
    sys.exit(main())
