// The simulator target, the self-update, uninstalling the hub, and About.
import { send } from './host';
import type { Installation, Snapshot } from './model';
import { ProgressBar } from './OperationPanel';
import { installationName, webOrigin } from './text';

function TargetChoice({ installation, label, detail, checked, disabled }: {
  installation: Pick<Installation, 'id'>; label: string; detail: React.ReactNode; checked: boolean; disabled?: boolean;
}) {
  return (
    <label className={disabled ? 'choice disabled' : 'choice'}>
      <input type="radio" name="target" checked={checked} disabled={disabled}
        onChange={() => send({ type: 'selectSimulator', installationId: installation.id })} />
      <span className="choice-text">
        <span className="choice-name">{label}</span>
        <span className="choice-detail">{detail}</span>
      </span>
    </label>
  );
}

function folderDetail(folder: string, available: boolean): React.ReactNode {
  if (!folder) return 'Community folder unknown';
  return available ? folder : <>{folder} · <span className="missing">folder not found</span></>;
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
      <h2>Settings</h2>
      <section className="panel" aria-labelledby="target-title">
        <h3 id="target-title">Simulator target</h3>
        {installations.length === 0 && (
          <div className="guidance">
            <p><strong>No Microsoft Flight Simulator installation was found.</strong></p>
            <p>If the simulator is installed, start it once so that it writes its settings, then choose Reload,
              or pick its Community folder yourself with the Choose folder button.</p>
          </div>
        )}
        <fieldset>
          <legend>Install community packages into</legend>
          {installations.map((installation) => (
            <TargetChoice key={installation.id} installation={installation} checked={target.id === installation.id}
              label={installationName(installation)}
              detail={folderDetail(installation.communityFolder, installation.available)} />
          ))}
          <TargetChoice installation={{ id: 'custom' }} label="Custom folder" checked={target.id === 'custom'}
            disabled={!customCommunityFolder}
            detail={customCommunityFolder ? folderDetail(customCommunityFolder, customCommunityAvailable) : 'No folder chosen yet'} />
        </fieldset>
        <div className="button-row">
          <button type="button" onClick={() => send({ type: 'chooseCommunityFolder' })}>Choose folder…</button>
          <button type="button" onClick={() => send({ type: 'reload' })}>Reload</button>
        </div>
      </section>
      <UpdateCard update={snapshot.update} />
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
