// The simulator target, the self-update, the support report, uninstalling the hub, and About.
import { useId, useRef, useState } from 'react';
import { send } from './host';
import type { Snapshot } from './model';
import { ProgressBar } from './ProgressBar';
import { installationName, webOrigin } from './text';

interface Choice {
  id: string;
  label: string;
  folder: string;
  /** Why it cannot be the target; empty when it can. */
  refusal: string;
}

function refusalOf(folder: string, available: boolean, unknown: string): string {
  if (!folder) return unknown;
  return available ? '' : 'Its Community folder was not found.';
}

// A radio group whose arrow keys move the focus only: choosing (click, Space or Enter) is what
// sends a selection, so passing over an installation does not make it the target. Tab into the
// group lands on the checked one again, whichever the focus passed over last.
function TargetChoices({ choices, targetId }: { choices: Choice[]; targetId: string }) {
  const id = useId();
  const refs = useRef<(HTMLDivElement | null)[]>([]);
  const checked = Math.max(0, choices.findIndex((c) => c.id === targetId));
  const [focused, setFocused] = useState<number | null>(null);
  const current = focused !== null && focused < choices.length ? focused : checked;
  const choose = (choice: Choice) => {
    if (!choice.refusal && choice.id !== targetId) send({ type: 'selectSimulator', installationId: choice.id });
  };
  const onKeyDown = (event: React.KeyboardEvent, index: number) => {
    const steps: Record<string, number> = { ArrowDown: 1, ArrowRight: 1, ArrowUp: -1, ArrowLeft: -1 };
    if (event.key === ' ' || event.key === 'Enter') {
      event.preventDefault();
      choose(choices[index]);
    } else if (event.key in steps || event.key === 'Home' || event.key === 'End') {
      event.preventDefault();
      const next = event.key === 'Home' ? 0 : event.key === 'End' ? choices.length - 1
        : (index + steps[event.key] + choices.length) % choices.length;
      setFocused(next);
      refs.current[next]?.focus();
    }
  };
  return (
    <div role="radiogroup" aria-labelledby={`${id}-legend`} className="choices"
      onBlur={(event) => { if (!event.currentTarget.contains(event.relatedTarget)) setFocused(null); }}>
      <p className="legend" id={`${id}-legend`}>Install community packages into</p>
      {choices.map((choice, index) => (
        <div key={choice.id} ref={(element) => { refs.current[index] = element; }} role="radio"
          className={choice.refusal ? 'choice disabled' : 'choice'} aria-checked={choice.id === targetId}
          aria-disabled={Boolean(choice.refusal) || undefined} tabIndex={index === current ? 0 : -1}
          aria-describedby={`${id}-${index}`} onClick={() => choose(choice)} onKeyDown={(event) => onKeyDown(event, index)}
          onFocus={() => setFocused(index)}>
          <span className="choice-mark" aria-hidden="true" />
          <span className="choice-text">
            <span className="choice-name">{choice.label}</span>
            <span className="choice-detail" id={`${id}-${index}`}>
              {choice.folder && <span className="path">{choice.folder}</span>}
              {choice.folder && choice.refusal && ' · '}
              {choice.refusal && <span className="missing">{choice.refusal}</span>}
            </span>
          </span>
        </div>
      ))}
    </div>
  );
}

function UpdateCard({ update }: { update: Snapshot['update'] }) {
  return (
    <section className="panel" aria-labelledby="update-title">
      <h3 id="update-title">Updates</h3>
      <p>{update.message || 'Updates are not checked in this copy.'}</p>
      {update.state === 'downloading' && <ProgressBar value={update.progress} label={`Downloading update ${update.version}`} />}
      {update.state === 'ready' && <p className="ready">Version {update.version} installs after exit.</p>}
    </section>
  );
}

export function SettingsView({ snapshot, onUninstallHub }: { snapshot: Snapshot; onUninstallHub: () => void }) {
  const { installations, target, customCommunityFolder, customCommunityAvailable } = snapshot.simulator;
  const origin = webOrigin(snapshot.catalog.links);
  const open = (url: string) => (event: React.MouseEvent) => { event.preventDefault(); send({ type: 'openLink', url }); };
  return (
    <div className="settings">
      <h2 tabIndex={-1}>Settings</h2>
      <section className="panel" aria-labelledby="target-title">
        <h3 id="target-title">Simulator target</h3>
        {installations.length === 0 && (
          <div className="guidance">
            <p><strong>No Microsoft Flight Simulator installation was found.</strong></p>
            <p>If the simulator is installed, start it once so that it writes its settings, then choose Reload,
              or pick its Community folder yourself with the Choose folder button.</p>
          </div>
        )}
        <TargetChoices targetId={target.id} choices={[
          ...installations.map((installation) => ({ id: installation.id, label: installationName(installation),
            folder: installation.communityFolder,
            refusal: refusalOf(installation.communityFolder, installation.available, 'Its Community folder is unknown.') })),
          { id: 'custom', label: 'Custom folder', folder: customCommunityFolder,
            refusal: refusalOf(customCommunityFolder, customCommunityAvailable, 'No folder chosen yet: use Choose folder.') },
        ]} />
        <div className="button-row">
          <button type="button" onClick={() => send({ type: 'chooseCommunityFolder' })}>Choose folder…</button>
          <button type="button" onClick={() => send({ type: 'reload' })}>Reload</button>
        </div>
      </section>
      <UpdateCard update={snapshot.update} />
      <section className="panel" aria-labelledby="support-title">
        <h3 id="support-title">Support</h3>
        <p>Copies a report for the maker's support to the clipboard: versions, simulator folders, components, the last
          error and the end of the activity log. Nothing is sent anywhere; you choose where to paste it.</p>
        <button type="button" onClick={() => send({ type: 'copyDiagnostics' })}>Copy support report</button>
      </section>
      <section className="panel" aria-labelledby="remove-title">
        <h3 id="remove-title">Remove the hub</h3>
        <p>Opens the uninstaller that removes Orvantis Hub from this computer.</p>
        <button type="button" className="danger" onClick={onUninstallHub}>Uninstall Orvantis Hub…</button>
      </section>
      <section className="panel" aria-labelledby="about-title">
        <h3 id="about-title">About</h3>
        <p>Orvantis Hub {snapshot.appVersion}. Installs, updates and removes Orvantis add-ons and their companion applications.</p>
        {origin && (
          <p className="button-row">
            <a href={`${origin}/contact/`} onClick={open(`${origin}/contact/`)}>Contact</a>
            <a href={`${origin}/privacy-policy/`} onClick={open(`${origin}/privacy-policy/`)}>Privacy policy</a>
          </p>
        )}
      </section>
    </div>
  );
}
