// Firefox for the page's tests (web_test.py): Debian has no geckodriver,
// but Firefox speaks WebDriver BiDi, which puppeteer-core drives. This
// starts Firefox ESR and takes one command a line on standard input,
// {id, command, args}, answering {id, value} or {id, error} a line each.
//   node bridge.js PROFILE DOWNLOADS
'use strict';
const readline = require('readline');
const puppeteer = require('puppeteer-core');

const [profile, downloads] = process.argv.slice(2);
const problems = [];  // what the page or its worker wrote to the console
let browser = null;
let page = null;

async function start() {
  browser = await puppeteer.launch({
    browser: 'firefox',
    executablePath: '/usr/bin/firefox-esr',
    headless: true,
    userDataDir: profile,
    extraPrefsFirefox: {
      'browser.download.dir': downloads,
      'browser.download.folderList': 2,
      'browser.download.useDownloadDir': true,
      'browser.download.always_ask_before_handling_new_types': false,
      'browser.download.start_downloads_in_tmp_dir': false,
      'browser.download.alwaysOpenPanel': false,
      'browser.helperApps.neverAsk.saveToDisk': 'application/octet-stream',
    },
  });
  page = (await browser.pages())[0] || (await browser.newPage());
  page.on('console', (message) => problems.push(message.type() + ': ' + message.text()));
  page.on('pageerror', (error) => problems.push('error: ' + error.message));
}

const commands = {
  async goto(url) {
    await page.goto(url);
  },
  // `body` as the body of a function, as Selenium's execute_script takes it.
  async script(body) {
    return page.evaluate('(async function () {' + body + '})()');
  },
  async pick(selector, paths) {
    const input = await page.$(selector);
    await input.uploadFile(...paths);
  },
  async click(selector, index) {
    const elements = await page.$$(selector);
    await elements[index || 0].click();
  },
  async key(name) {
    await page.keyboard.press(name);
  },
  async viewport(width, height) {
    await page.setViewport({width, height});
  },
  async screenshot(path) {
    await page.screenshot({path});
  },
  async problems() {
    return problems.splice(0);
  },
  async quit() {
    await browser.close();
    process.exit(0);
  },
};

async function main() {
  await start();
  const lines = readline.createInterface({input: process.stdin});
  console.log(JSON.stringify({id: 0, value: 'started'}));
  for await (const line of lines) {
    const {id, command, args} = JSON.parse(line);
    try {
      const value = await commands[command](...(args || []));
      console.log(JSON.stringify({id, value: value === undefined ? null : value}));
    } catch (e) {
      console.log(JSON.stringify({id, error: String(e && e.message || e)}));
    }
  }
  if (browser) await browser.close();
}

main().catch((e) => {
  console.log(JSON.stringify({id: 0, error: String(e && e.message || e)}));
  process.exit(1);
});
