'use strict';
// The page over meridiald's HTTP API. The token lives in this tab's session storage and goes
// out only as the bearer header (no cookies, so another site cannot make the browser act).
// Every text that comes from the API is put in with textContent, never parsed as HTML.
(() => {
    const KEY = 'meridial-token';
    const MAX_CHARS = 150;
    const PICTURE_MS = 3000, STATE_MS = 5000, PLAN_MS = 60000, CHECK_MS = 300;
    const $ = (id) => document.getElementById(id);

    let token = sessionStorage.getItem(KEY);
    let loops = [];
    const cards = new Map();  // sign name -> {name, li, img, url, state, shows, next, groups}
    let targetsKey = '', noticesKey = '', planKey = '';
    let picturesShown = false;

    // A 401: the page has asked for the token again; callers stop quietly.
    class Refused extends Error {}

    async function api(method, path, body) {
        const init = {method, headers: {Authorization: 'Bearer ' + token}, cache: 'no-store',
                      credentials: 'omit'};
        if (body !== undefined) {
            init.headers['Content-Type'] = 'application/json';
            init.body = JSON.stringify(body);
        }
        let response;
        try {
            response = await fetch(path, init);
        } catch (e) {
            throw new Error('The service cannot be reached; trying again.');
        }
        if (response.status === 401) {
            askToken('The service refused this token. Check it and enter it again.');
            throw new Refused();
        }
        return response;
    }

    // The answer's JSON, or an Error holding the service's own reason.
    async function json(method, path, body) {
        const response = await api(method, path, body);
        const data = response.status === 204 ? {} : await response.json().catch(() => null);
        if (!response.ok || data === null)
            throw new Error((data && data.error) || `The service answered ${response.status}.`);
        return data;
    }

    function el(tag, className, text) {
        const node = document.createElement(tag);
        if (className) node.className = className;
        if (text !== undefined) node.textContent = text;
        return node;
    }

    function when(iso) {
        const at = new Date(iso);
        if (!iso || isNaN(at)) return String(iso);
        const time = {hour: '2-digit', minute: '2-digit'};
        if (at.toDateString() === new Date().toDateString()) return at.toLocaleTimeString([], time);
        return at.toLocaleString([], {weekday: 'short', day: 'numeric', month: 'short', ...time});
    }

    function sourceText(source) {
        if (!source || source === 'own') return 'its own message';
        if (source.startsWith('entry ')) return 'schedule entry ' + source.slice(6);
        return source;
    }

    function setText(node, text) {
        if (node.textContent !== text) node.textContent = text;
    }

    // ---- the token ----

    function askToken(error) {
        stopLoops();
        token = null;
        sessionStorage.removeItem(KEY);
        $('app').hidden = true;
        $('forget').hidden = true;
        $('login').hidden = false;
        $('login-error').textContent = error || '';
        $('token').value = '';
        $('token').setAttribute('aria-invalid', error ? 'true' : 'false');
        $('token').focus();
    }

    async function start() {
        stopLoops();
        try {
            await refreshSigns();
        } catch (e) {
            if (e instanceof Refused) return;
            showProblem(e.message);
        }
        sessionStorage.setItem(KEY, token);
        $('login').hidden = true;
        $('app').hidden = false;
        $('forget').hidden = false;
        onMessage();
        loops = [every(PICTURE_MS, refreshPictures),
                 every(STATE_MS, () => Promise.all([refreshSigns(), refreshNotices()])),
                 every(PLAN_MS, refreshPlan)];
    }

    // Runs fn now and again `ms` after each run ends, so slow answers never pile up; a hidden
    // tab asks nothing.
    function every(ms, fn) {
        let handle = null, stopped = false;
        const run = async () => {
            if (!document.hidden) await guarded(fn);
            if (!stopped) handle = setTimeout(run, ms);
        };
        run();
        return () => { stopped = true; clearTimeout(handle); };
    }

    function stopLoops() {
        loops.forEach((stop) => stop());
        loops = [];
    }

    async function guarded(fn) {
        try {
            await fn();
            showProblem('');
        } catch (e) {
            if (!(e instanceof Refused)) showProblem(e.message);
        }
    }

    function showProblem(text) { setText($('problem'), text); }

    // ---- the signs ----

    function makeCard(name) {
        const card = {name, li: el('li', 'sign'), img: el('img', 'picture'), url: null};
        card.li.setAttribute('aria-label', name);
        card.img.alt = `What ${name} shows now`;
        const list = el('dl');
        const row = (label) => {
            list.append(el('dt', '', label));
            return list.appendChild(el('dd'));
        };
        card.state = row('State');
        card.shows = row('Shows');
        card.next = row('Next');
        card.groups = el('p', 'groups');
        card.li.append(el('h3', '', name), card.groups, card.img, list);
        cards.set(name, card);
        return card;
    }

    function stateOf(s) {
        let text = 'nothing sent yet', tone = '';
        if (s.acknowledged) {
            text = 'acknowledged' + (s.lastAcknowledged ? ' at ' + when(s.lastAcknowledged) : '');
            tone = 'ok';
        } else if (s.failingSince) {
            const a = s.lastAttempt || {};
            const reason = a.reason || a.outcome;
            text = `failing since ${when(s.failingSince)}` + (reason ? ` (${reason})` : '');
            tone = 'bad';
        }
        if (s.sending) text += ', sending now';
        return [text, tone];
    }

    function updateCard(card, sign) {
        const s = sign.state || {};
        const groups = sign.groups || [];
        setText(card.groups, groups.length ? 'Groups: ' + groups.join(', ') : 'No group');
        const [text, tone] = stateOf(s);
        setText(card.state, text);
        card.state.className = tone;
        let shows = s.shows ? `${s.shows.message} (${sourceText(s.shows.source)})` : 'unknown';
        if (s.planned && (!s.shows || s.planned.message !== s.shows.message))
            shows += `; due: ${s.planned.message} (${sourceText(s.planned.source)})`;
        setText(card.shows, shows);
        const n = s.nextChange;
        setText(card.next, n ? `${when(n.at)}: ${n.message} (${sourceText(n.source)})`
                             : 'no change planned');
    }

    async function refreshSigns() {
        const signs = (await json('GET', '/api/signs')).signs || [];
        const names = new Set(signs.map((s) => s.name));
        for (const [name, card] of cards) {
            if (names.has(name)) continue;
            card.li.remove();
            if (card.url) URL.revokeObjectURL(card.url);
            cards.delete(name);
        }
        const list = $('signs');
        signs.forEach((sign, i) => {
            const card = cards.get(sign.name) || makeCard(sign.name);
            updateCard(card, sign);
            if (list.children[i] !== card.li) list.insertBefore(card.li, list.children[i] || null);
        });
        fillTargets(signs);
    }

    // An <img> cannot send the bearer header: each picture is fetched and shown as a blob.
    async function refreshPictures() {
        await Promise.all([...cards.values()].map(async (card) => {
            const response = await api('GET',
                `/api/signs/${encodeURIComponent(card.name)}/picture.svg`);
            if (!response.ok) throw new Error(`No picture of ${card.name} (${response.status}).`);
            const url = URL.createObjectURL(await response.blob());
            card.img.src = url;
            await card.img.decode().catch(() => {});
            if (card.url) URL.revokeObjectURL(card.url);
            card.url = url;
        }));
        if (!picturesShown && cards.size) {
            picturesShown = true;
            performance.mark('meridial-pictures-shown');
        }
    }

    // ---- the notice form ----

    function fillTargets(signs) {
        const groups = new Map();
        for (const sign of signs)
            for (const g of sign.groups || []) groups.set(g, (groups.get(g) || 0) + 1);
        const key = JSON.stringify([signs.map((s) => s.name), [...groups]]);
        if (key === targetsKey) return;
        targetsKey = key;
        const select = $('target'), chosen = select.value;
        const option = (value, label) => {
            const o = el('option', '', label);
            o.value = value;
            return o;
        };
        const byGroup = el('optgroup'), bySign = el('optgroup');
        byGroup.label = 'Groups';
        bySign.label = 'Signs';
        for (const [g, count] of [...groups].sort())
            byGroup.append(option('group:' + g, `${g} (${count} sign${count === 1 ? '' : 's'})`));
        for (const sign of signs) bySign.append(option(sign.name, sign.name));
        select.replaceChildren(option('all', `All signs (${signs.length})`));
        if (groups.size) select.append(byGroup);
        select.append(bySign);
        if ([...select.options].some((o) => o.value === chosen)) select.value = chosen;
    }

    let checkTimer = null, checkRound = 0, messageOk = false, sending = false;

    function messageError(text) {
        setText($('message-error'), text);
        $('message').setAttribute('aria-invalid', text ? 'true' : 'false');
    }

    function updateSend() { $('send').disabled = !messageOk || sending; }

    // The count as the sign counts it: one character per code point. The service's check
    // follows, a moment after typing stops, for the code page and whatever else it refuses.
    function onMessage() {
        const text = $('message').value;
        const count = [...text].length;
        setText($('count'), `${count} of ${MAX_CHARS} characters`);
        $('count').classList.toggle('over', count > MAX_CHARS);
        messageOk = false;
        updateSend();
        clearTimeout(checkTimer);
        const round = ++checkRound;
        if (count === 0) return messageError('');
        if (count > MAX_CHARS)
            return messageError(`The message is ${count} characters; a sign holds at most ` +
                                `${MAX_CHARS}.`);
        messageError('');
        checkTimer = setTimeout(async () => {
            try {
                const answer = await json('POST', '/api/check', {message: text});
                if (round !== checkRound) return;
                messageOk = answer.ok === true;
                messageError(messageOk ? '' : answer.reason || 'The signs cannot show this.');
                updateSend();
            } catch (e) {
                if (!(e instanceof Refused) && round === checkRound) messageError(e.message);
            }
        }, CHECK_MS);
    }

    function onDuration() {
        const d = $('duration').value;
        $('custom-box').hidden = d !== 'custom';
        $('until-box').hidden = d !== 'until';
    }

    function sendStatus(text, bad) {
        $('send-status').textContent = text;
        $('send-status').className = bad ? 'error' : '';
    }

    async function send(event) {
        event.preventDefault();
        if (!messageOk || sending) return;
        const select = $('target');
        const body = {signs: select.value, message: $('message').value};
        const d = $('duration').value;
        if (d === 'until') {
            const at = new Date($('until').value);
            if (!$('until').value || isNaN(at))
                return sendStatus('Choose the date and time the notice ends.', true);
            // In UTC, so the service's own zone cannot shift the time chosen here.
            body.until = at.toISOString().replace(/\.\d+Z$/, 'Z');
        } else if (d === 'custom') {
            body.for = $('custom').value.trim();
            if (!body.for) return sendStatus('Give a duration, like 45m or 3h.', true);
        } else {
            body.for = d;
        }
        sending = true;
        updateSend();
        sendStatus('Sending…');
        try {
            const added = await json('POST', '/api/notices', body);
            sendStatus(`Notice ${added.id} sent to ${select.selectedOptions[0].textContent}.`);
            $('message').value = '';
            onMessage();
            await refreshAll();
        } catch (e) {
            if (!(e instanceof Refused)) sendStatus('Not sent: ' + e.message, true);
        } finally {
            sending = false;
            updateSend();
        }
    }

    // ---- the notices and the plan ----

    // Lists are rebuilt only when their content changed, so that focus and reading place stay.
    async function refreshNotices() {
        const notices = (await json('GET', '/api/notices')).notices || [];
        const key = JSON.stringify(notices);
        if (key === noticesKey) return;
        noticesKey = key;
        const list = $('notices');
        const hadFocus = list.contains(document.activeElement);
        list.replaceChildren(...notices.map((n) => {
            const li = el('li');
            const end = el('button', '', 'End');
            end.type = 'button';
            end.setAttribute('aria-label', `End notice ${n.id}: ${n.message}`);
            end.addEventListener('click', () => endNotice(n, end));
            li.append(el('span', 'msg', n.message),
                      el('span', 'hint', ` to ${(n.signs || []).join(', ')} until ${when(n.until)}`),
                      end);
            return li;
        }));
        $('no-notices').hidden = notices.length > 0;
        if (hadFocus) $('notices-title').focus();
    }

    async function endNotice(notice, button) {
        button.disabled = true;
        try {
            await json('DELETE', `/api/notices/${encodeURIComponent(notice.id)}`);
            setText($('notices-status'), `Notice ${notice.id} ended.`);
            await refreshAll();
        } catch (e) {
            button.disabled = false;
            if (!(e instanceof Refused)) setText($('notices-status'), 'Not ended: ' + e.message);
        }
    }

    async function refreshPlan() {
        const plan = await json('GET', '/api/plan?hours=24');
        const key = JSON.stringify(plan.signs);
        if (key === planKey) return;
        planKey = key;
        const rows = [];
        for (const sign of plan.signs || []) {
            (sign.changes || []).forEach((change, i) => {
                const tr = el('tr');
                const name = el('th', '', sign.name);
                name.scope = 'row';
                tr.append(name, el('td', '', i === 0 ? 'now' : when(change.at)),
                          el('td', 'msg', change.message), el('td', '', sourceText(change.source)));
                rows.push(tr);
            });
        }
        document.querySelector('#plan tbody').replaceChildren(...rows);
    }

    function refreshAll() {
        return guarded(() => Promise.all([refreshSigns(), refreshNotices(), refreshPlan(),
                                          refreshPictures()]));
    }

    // ---- wiring ----

    $('login').addEventListener('submit', (event) => {
        event.preventDefault();
        const given = $('token').value.trim();
        if (!given) return;
        token = given;
        $('login-error').textContent = '';
        start();
    });
    $('forget').addEventListener('click', () => askToken(''));
    $('message').addEventListener('input', onMessage);
    $('duration').addEventListener('change', onDuration);
    $('notice').addEventListener('submit', send);
    document.addEventListener('visibilitychange', () => {
        if (!document.hidden && token && loops.length) refreshAll();
    });

    if (token) start();
    else askToken('');
})();
