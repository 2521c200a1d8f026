// Test-only companion of background.js. A headless browser has no toolbar to click, so
// this runs what a click runs, harvest(tab), on every page whose address ends in
// #quarrow-test-click once it has loaded, if the action is enabled there as a user would
// see it, and reports what happened to the test server. After the first web page it opens
// a tab that is not a web page, where the action must stay disabled (headless Chromium
// opens only one address from its command line).
"use strict";

if (typeof harvest === "undefined") {
  // Chromium: the service worker is this file; Firefox lists all three as scripts.
  importScripts("test-config.js", "background.js");
}

const CLICK_MARK = "#quarrow-test-click";
const NOT_A_WEB_PAGE = "about:blank" + CLICK_MARK;
const clickedTabs = new Set();

// What the user was shown, kept for the report; the notification still goes out.
let lastShown = null;
const showErrorAsShipped = showError;
showError = async (reply) => {
  lastShown = { title: reply.title, error: reply.error };
  await showErrorAsShipped(reply);
};

function reportToTest(fields) {
  const query = new URLSearchParams(fields).toString();
  return fetch(`${QUARROW_TEST_REPORT}?${query}`, { mode: "no-cors" }).catch(() => {});
}

// Chromium takes the tab id, Firefox an object holding it.
async function actionEnabled(tabId) {
  try {
    return await api.action.isEnabled(tabId);
  } catch (e) {
    return await api.action.isEnabled({ tabId });
  }
}

async function clickWhenLoaded(tab) {
  if (!tab || typeof tab.url !== "string" || !tab.url.endsWith(CLICK_MARK)) return;
  if (tab.status !== "complete" || clickedTabs.has(tab.id)) return;
  clickedTabs.add(tab.id);
  // background.js answers the same tab update; let its enable() or disable() land first.
  await new Promise((resolve) => setTimeout(resolve, 500));
  try {
    lastShown = null;
    const enabled = await actionEnabled(tab.id);
    const reply = enabled ? await harvest(tab) : null;
    await reportToTest({
      url: tab.url,
      enabled: String(enabled),
      reply: JSON.stringify(reply),
      shown: JSON.stringify(lastShown),
    });
    if (isHarvestable(tab.url)) {
      await api.tabs.create({ url: NOT_A_WEB_PAGE });
    }
  } catch (e) {
    await reportToTest({ url: tab.url, failure: String(e) });
  }
}

api.tabs.onUpdated.addListener((tabId, change, tab) => clickWhenLoaded(tab));
// A page that finished loading before this script ran sends no further update: look for it
// for a while as well.
let lookups = 0;
const lookForLoadedPages = setInterval(() => {
  api.tabs.query({}).then((tabs) => tabs.forEach(clickWhenLoaded));
  if (++lookups >= 80) clearInterval(lookForLoadedPages);
}, 250);
