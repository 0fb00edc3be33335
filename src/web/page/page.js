// Brenvik in the browser: the page. It keeps the replacement, remembers it
// for later visits, starts a batch when games and a replacement are both
// there, and shows what the worker says. All the work is the worker's
// (../worker/worker.js, whose table of requests this follows); every
// message shown in the log is the tool's own.
(function () {
  'use strict';

  var $ = function (id) { return document.getElementById(id); };
  var games = $('games'), replacement = $('replacement'), log = $('log');
  var results = $('results'), status = $('status'), progress = $('progress');
  var forget = $('forget'), chosen = $('chosen'), folderButton = $('folder');

  var state = {
    replacement: null,  // the worker's record (worker.js): {several, choices: [...]}
    reading: 0,         // replacements being read (the remembered one too)
    picked: false,      // the user picked one in this visit
    waiting: [],        // games picked while no replacement was at hand: {file, size}
    running: false,
    folder: null,       // a folder chosen for the outputs, where offered
  };
  var links = [];

  var worker = new Worker(URL.createObjectURL(new Blob(
      [$('worker-source').textContent], {type: 'text/javascript'})));
  // Requests awaiting their replies, by id: [reply type, resolve]. A
  // request that failed in the worker resolves to null, and only its own.
  var awaiting = new Map();
  var lastId = 0;

  function ask(request, replyType) {
    return new Promise(function (resolve) {
      request.id = ++lastId;
      awaiting.set(request.id, [replyType, resolve]);
      worker.postMessage(request);
    });
  }

  worker.onmessage = function (event) {
    var reply = event.data;
    if (reply.type === 'message') return say(reply.text);
    if (reply.type === 'progress') {
      progress.hidden = false;
      progress.max = reply.total;
      progress.value = reply.done;
      return;
    }
    if (reply.type === 'ready') return noteMemory(reply.wasmBytes);
    if (reply.type === 'read') return readFor(reply);
    if (reply.type === 'failed') say(reply.text + '\n\n');
    var waiting = awaiting.get(reply.id);
    if (!waiting) return;
    awaiting.delete(reply.id);
    waiting[1](reply.type === waiting[0] ? reply : null);
  };

  // The worker cannot read picked files here (WebKit, from disk): the page
  // reads the stretches it asks for and hands them over.
  function readFor(request) {
    Promise.all(request.ranges.map(function (range) {
      return request.file.slice(range[0], range[1]).arrayBuffer();
    })).then(function (buffers) {
      worker.postMessage({type: 'blocks', buffers: buffers}, buffers);
    }, function () {
      worker.postMessage({type: 'blocks', failed: true});
    });
  }

  function say(text) { log.textContent += text; log.scrollTop = log.scrollHeight; }
  function noteMemory(bytes) { results.dataset.wasmBytes = String(bytes); }

  function show(kind, text) {
    status.dataset.state = kind;
    status.textContent = text;
  }

  function describeReplacement() {
    var r = state.replacement;
    if (!r) {
      chosen.textContent = 'None yet.';
      forget.disabled = true;
      return;
    }
    if (r.several) {
      chosen.textContent = r.choices.length + ' donors, of which each game takes the one that fits it best: ' +
          r.choices.map(function (c) { return c.name + ' (' + c.version + ')'; }).join(', ') + '.';
    } else {
      var c = r.choices[0];
      chosen.textContent = (c.kind === 'donor'
          ? 'The ARM7 binary of the donor ' + c.name
          : c.name + ', used as the ARM7 binary') +
          ' (' + c.bytes.length.toLocaleString('en') + ' bytes)' + (c.built ? ', ' + c.built : '') + '.';
    }
    forget.disabled = false;
  }

  // A replacement remembered by an earlier version of the page: one binary,
  // its version not read.
  function remembered(r) {
    if (!r) return null;
    if (r.choices) return r.choices.length ? r : null;
    if (!r.bytes) return null;
    return {several: false, choices: [{bytes: r.bytes, kind: r.kind, name: r.name,
                                       entry: r.entry, ram: r.ram, sdk: null,
                                       built: null, version: null}]};
  }

  function settle() {
    describeReplacement();
    if (state.running) return;
    if (state.reading) return show('working', 'Reading the replacement…');
    if (!state.replacement)
      return show('waiting', state.waiting.length
          ? 'Waiting for a replacement: pick an arm7.bin or a donor game.'
          : 'Pick a replacement and your games.');
    if (state.waiting.length) return runBatch(state.waiting.splice(0));
    if (status.dataset.state === 'waiting' || status.dataset.state === 'working')
      show('ready', 'Ready: pick your games.');
  }

  // Remembering, where the browser lets the page keep anything.
  function openStore() {
    return new Promise(function (resolve) {
      try {
        var request = indexedDB.open('brenvik', 1);
        request.onupgradeneeded = function () { request.result.createObjectStore('replacement'); };
        request.onsuccess = function () { resolve(request.result); };
        request.onerror = function () { resolve(null); };
      } catch (e) {
        resolve(null);
      }
    });
  }

  function store(mode, action) {
    return openStore().then(function (db) {
      if (!db) return null;
      return new Promise(function (resolve) {
        try {
          var request = action(db.transaction('replacement', mode).objectStore('replacement'));
          request.onsuccess = function () { resolve(request.result); };
          request.onerror = function () { resolve(null); };
        } catch (e) {
          resolve(null);
        }
      });
    });
  }

  // One file is the replacement, whichever it is; several are donors.
  function takeReplacement(files) {
    state.replacement = null;  // the old one is given up at once
    state.picked = true;
    state.reading++;
    settle();
    var picked = Array.prototype.map.call(files, function (file) {
      return {file: file, size: file.size};
    });
    ask({type: 'replacement', files: picked}, 'replacement').then(function (reply) {
      state.reading--;
      var r = reply && reply.replacement;
      if (r && r.choices.length) {
        state.replacement = r;
        store('readwrite', function (s) { return s.put(r, 'current'); });
      } else {
        show('refused', 'That replacement cannot be used; see the messages below.');
      }
      settle();
    });
  }

  function clearResults() {
    links.forEach(URL.revokeObjectURL);
    links = [];
    results.textContent = '';
  }

  function addResult(name, blob) {
    var item = document.createElement('li');
    if (blob) {
      var link = document.createElement('a');
      link.href = URL.createObjectURL(blob);
      link.download = name;
      link.textContent = name;
      links.push(link.href);
      item.appendChild(link);
      item.appendChild(document.createTextNode(' (' + blob.size.toLocaleString('en') + ' bytes)'));
      if (state.folder) saveInFolder(item, name, blob);
    } else {
      item.className = 'refused';
      item.textContent = name + ': not fixed; see the messages.';
    }
    results.appendChild(item);
  }

  function saveInFolder(item, name, blob) {
    var note = document.createElement('span');
    item.appendChild(note);
    state.folder.getFileHandle(name, {create: true}).then(function (handle) {
      return handle.createWritable();
    }).then(function (writable) {
      return writable.write(blob).then(function () { return writable.close(); });
    }).then(function () {
      note.textContent = ' — saved in ' + state.folder.name;
    }, function (e) {
      // The fixed game is made of slices of the picked one, which the
      // browser refuses to read once that file has changed.
      if (e && (e.name === 'NotReadableError' || e.name === 'NotFoundError')) {
        say(name + ' could not be saved: the game changed on disk since it was picked; pick it again.\n\n');
        note.textContent = ' — not saved in ' + state.folder.name;
      } else {
        note.textContent = ' — could not be saved in ' + state.folder.name + ': ' + e.message;
      }
    });
  }

  // A batch keeps the replacement it started with, whatever is picked
  // while it runs. The worker's library counts the games. A batch the
  // worker could not begin fixes none of them, each listed as itself.
  function runBatch(files) {
    var r = state.replacement;
    state.running = true;
    clearResults();
    results.dataset.state = 'working';
    show('working', 'Fixing ' + files.length + (files.length === 1 ? ' game…' : ' games…'));
    ask({type: 'begin', count: files.length}, 'begun').then(function (begun) {
      if (!begun) {
        files.forEach(function (file) { addResult(file.file.name, null); });
        return null;
      }
      return fixEach(files, r).then(function () {
        return ask({type: 'finish'}, 'finished');
      });
    }).then(function (reply) {
      state.running = false;
      results.dataset.state = 'done';
      var fixed = reply ? reply.fixed : 0;
      if (fixed === files.length) show('done', 'Done: ' + files.length + (files.length === 1 ? ' game' : ' games') + ' fixed. Save them from the list below.');
      else show('refused', 'Done, but ' + (files.length - fixed) + ' of ' + files.length + ' not fixed: see why in the messages.');
      settle();
    });
  }

  function fixEach(files, r) {
    var chain = Promise.resolve();
    files.forEach(function (file) {
      chain = chain.then(function () {
        return ask({type: 'fix', file: file.file, size: file.size, replacement: r}, 'fixed');
      }).then(function (reply) {
        progress.hidden = true;
        if (!reply) return addResult(file.file.name, null);
        noteMemory(reply.wasmBytes);
        addResult(reply.name, reply.blob);
      });
    });
    return chain;
  }

  function takeGames(files) {
    if (!files.length) return;
    // Each with its size as picked, by which the worker tells a file that
    // has changed since.
    state.waiting = state.waiting.concat(Array.prototype.map.call(files, function (file) {
      return {file: file, size: file.size};
    }));
    settle();
  }

  games.addEventListener('change', function () { takeGames(games.files); games.value = ''; });
  replacement.addEventListener('change', function () {
    if (replacement.files.length) takeReplacement(replacement.files);
    replacement.value = '';
  });

  function dropZone(zone, take) {
    zone.addEventListener('dragover', function (e) { e.preventDefault(); zone.classList.add('over'); });
    zone.addEventListener('dragleave', function () { zone.classList.remove('over'); });
    zone.addEventListener('drop', function (e) {
      e.preventDefault();
      zone.classList.remove('over');
      take(e.dataTransfer.files);
    });
  }
  dropZone($('games-zone'), takeGames);
  dropZone($('replacement-zone'), function (files) { if (files.length) takeReplacement(files); });

  forget.addEventListener('click', function () {
    state.replacement = null;
    store('readwrite', function (s) { return s.delete('current'); });
    settle();
  });

  if (window.showDirectoryPicker) {
    folderButton.hidden = false;
    folderButton.addEventListener('click', function () {
      window.showDirectoryPicker({mode: 'readwrite'}).then(function (folder) {
        state.folder = folder;
        $('folder-name').textContent = 'Fixed games are also saved in ' + folder.name + '.';
      }, function () { /* the user cancelled */ });
    });
  }

  state.reading++;
  settle();
  // A remembered binary's version is read again, as the games will take it.
  store('readonly', function (s) { return s.get('current'); }).then(function (r) {
    r = remembered(r);
    return r ? ask({type: 'describe', replacement: r}, 'described').then(function (reply) {
      return reply ? reply.replacement : r;
    }) : null;
  }).then(function (r) {
    state.reading--;
    if (!state.picked) state.replacement = r;
    settle();
  });
})();
